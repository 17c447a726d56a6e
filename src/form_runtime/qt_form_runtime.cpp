#include "qt_form_runtime.h"

#include "qt_forms.h"
#include "qt_text.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace tessivo::forms {

QtFormRuntime::QtFormRuntime(QWidget& form, QtForms& forms, MessageService& messages)
    : m_form(form)
    , m_forms(forms)
    , m_messages(messages)
{
}

template <typename Control> Control& QtFormRuntime::find(std::string_view name) const
{
    const QString objectName =
        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    auto* control = m_form.findChild<Control*>(objectName);
    if (control == nullptr) {
        qFatal("Tessivo: the window %s has no control named %s", qPrintable(m_form.objectName()),
               qPrintable(objectName));
    }
    return *control;
}

Text QtFormRuntime::text(TextBox box) const { return toText(find<QLineEdit>(box.name).text()); }

void QtFormRuntime::setText(TextBox box, const Text& text)
{
    auto& edit = find<QLineEdit>(box.name);
    // A box that hides what it holds holds a secret: overwrite it before the box lets it go.
    if (edit.echoMode() != QLineEdit::Normal) {
        OverwriteText(edit);
    }
    edit.setText(toQString(text));
}

void QtFormRuntime::setFocus(TextBox box)
{
    find<QLineEdit>(box.name).setFocus(Qt::OtherFocusReason);
}

Text QtFormRuntime::text(ComboBox box) const
{
    return toText(find<QComboBox>(box.name).currentText());
}

bool QtFormRuntime::checked(MenuItem item) const { return find<QAction>(item.name).isChecked(); }

void QtFormRuntime::setChecked(MenuItem item, bool checked)
{
    find<QAction>(item.name).setChecked(checked);
}

void QtFormRuntime::msgBox(const Text& message) { m_messages.show(&m_form, toQString(message)); }

void QtFormRuntime::beep() { QApplication::beep(); }

void QtFormRuntime::show(Form form) { m_forms.show(form.name); }

void QtFormRuntime::hide(Form form) { m_forms.hide(form.name); }

void QtFormRuntime::unload(Form form) { m_forms.unload(form.name); }

void QtFormRuntime::end() { m_forms.end(); }

} // namespace tessivo::forms
