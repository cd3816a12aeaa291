// The engines module: the first engine over libmpv, the second over GStreamer.
#include "GstEngine.h"
#include "MpvEngine.h"

namespace {

class Factory final : public engine::Factory
{
public:
    std::unique_ptr<engine::Engine> create(engine::Kind kind, QWidget *parent, engine::Events &events,
                                           QString *why) override
    {
        if (kind == engine::Kind::Media)
            return MpvEngine::create(parent, events, why);
        return GstEngine::create(parent, events, why);
    }
    void preload() override { GstEngine::Preload(); }
};

} // namespace

extern "C" Q_DECL_EXPORT engine::Factory *zentavo_player_engines()
{
    static Factory factory;
    return &factory;
}
