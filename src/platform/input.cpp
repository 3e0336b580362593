#include "platform/input.h"

#include <QInputDialog>

namespace bm::platform
{

namespace
{

class QtInput : public InputService
{
public:
    std::optional<QString> askText(const TextRequest &r, QWidget *parent) override
    {
        QInputDialog dialog(parent);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setWindowTitle(r.caption);
        dialog.setLabelText(r.question);
        dialog.setTextValue(r.text);
        // Room for a sentence: what is typed here is mostly read by a client.
        dialog.resize(dialog.sizeHint().expandedTo(QSize(420, 0)));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }
};

QtInput production;
InputService *current = &production;

} // namespace

InputService &inputService()
{
    return *current;
}

void setInputService(InputService *service)
{
    current = service ? service : &production;
}

} // namespace bm::platform
