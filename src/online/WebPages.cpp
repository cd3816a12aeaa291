#include "WebPages.h"

#include "VendorSite.h"
#include "base/ShellOpen.h"

WebPages::WebPages(ContextItem contextItem, QObject *parent) : QObject(parent), m_contextItem(std::move(contextItem))
{
}

void WebPages::actHomeExecute()
{
    ShellOpen(VendorSite());
}

void WebPages::actFaqExecute()
{
    ShellOpen(VendorSite() + QStringLiteral("faq.htm"));
}

void WebPages::actBrokenExecute()
{
    channelForm(QStringLiteral("report.php"));
}

void WebPages::actAddReviewExecute()
{
    channelForm(QStringLiteral("review.php"));
}

void WebPages::channelForm(const QString &page)
{
    // Nothing to report on (no channel yet, no ID, no name) means nothing happens.
    try {
        const std::optional<ChannelItem> item = m_contextItem();
        if (!item)
            return;
        const QString id = item->text("ID");
        const QString name = item->text("ChannelName");
        if (id.isEmpty())
            return;
        ShellOpen(ChannelFormAddress(VendorSite(), page, id, name));
    } catch (const std::exception &) {
    }
}
