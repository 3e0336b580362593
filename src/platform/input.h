#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace bm::platform
{

// One line of text asked of the guide: the box's caption, the question
// above the field and the text the field starts with.
struct TextRequest {
    QString caption = QStringLiteral("Brindlemoor");
    QString question;
    QString text;
};

// Every box that asks the guide to type something goes through this seam.
// Production shows a modal input dialog; tests script the answers. Nothing
// (as opposed to an empty text) means the guide cancelled.
class InputService
{
public:
    virtual ~InputService() = default;
    virtual std::optional<QString> askText(const TextRequest &request, QWidget *parent) = 0;
};

InputService &inputService();
void setInputService(InputService *service); // nullptr restores production

inline std::optional<QString> askText(const TextRequest &request, QWidget *parent = nullptr)
{
    return inputService().askText(request, parent);
}

} // namespace bm::platform
