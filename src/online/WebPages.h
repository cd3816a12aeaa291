#pragma once

#include "catalogue/ChannelText.h"

#include <QObject>
#include <functional>
#include <optional>

// The commands that send the user to the vendor's pages: home page, FAQ, and the report and
// review forms for the channel the channel popup was last opened on.
class WebPages : public QObject
{
    Q_OBJECT

public:
    using ContextItem = std::function<std::optional<ChannelItem>()>;
    WebPages(ContextItem contextItem, QObject *parent);

    void actHomeExecute();
    void actFaqExecute();
    void actBrokenExecute();
    void actAddReviewExecute();

private:
    void channelForm(const QString &page);
    ContextItem m_contextItem;
};
