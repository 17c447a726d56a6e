#include "message_service.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tessivo::forms {

void MessageBoxService::show(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace tessivo::forms
