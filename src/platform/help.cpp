#include "platform/help.h"

namespace bm::platform
{

namespace
{

// Until the help viewer window is built the topics go nowhere.
class NoViewer : public HelpViewerService
{
public:
    void showTopic(const QString &, int) override { }
};

NoViewer fallback;
HelpViewerService *production = &fallback;
HelpViewerService *current = nullptr;

} // namespace

HelpViewerService &helpViewerService()
{
    return current ? *current : *production;
}
void setHelpViewerService(HelpViewerService *service)
{
    current = service;
}

void HelpComponent::ShowHelp()
{
    helpViewerService().showTopic(m_helpFile, m_request == ContextRequest ? m_topic : 0);
}

void HelpComponent::showTopic(const QString &topicNumber)
{
    setHelpContext(topicNumber.toInt());
    setHelpCommand(ContextRequest);
    ShowHelp();
}

} // namespace bm::platform
