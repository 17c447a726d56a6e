#include "qt_form_runtime.h"

#include "qt_forms.h"
#include "qt_text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QWidget>

#include <memory>

namespace tessivo::forms {

namespace {

QClipboard::Mode toQt(ClipboardMode mode)
{
    return mode == ClipboardMode::Selection ? QClipboard::Selection : QClipboard::Clipboard;
}

// Only X11 has a selection beside the clipboard; elsewhere there is nothing to hold or clear.
bool exists(const QClipboard& clipboard, ClipboardMode mode)
{
    return mode == ClipboardMode::Clipboard || clipboard.supportsSelection();
}

// Platforms whose clipboard tells who owns it. Elsewhere (offscreen, minimal) the clipboard
// lives inside this process, so its content is all there is to compare.
bool platformTracksOwnership()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal";
}

} // namespace

std::unique_ptr<QMimeData> secretText(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    // Clipboard histories and sync services honour these and keep the password out.
#if defined(Q_OS_WIN)
    const QByteArray dwordZero(4, '\0');
    data->setData(
        QStringLiteral(
            "application/x-qt-windows-mime;value=\"ExcludeClipboardContentFromMonitorProcessing\""),
        QByteArray(1, '\0'));
    data->setData(
        QStringLiteral("application/x-qt-windows-mime;value=\"CanIncludeInClipboardHistory\""),
        dwordZero);
    data->setData(
        QStringLiteral("application/x-qt-windows-mime;value=\"CanUploadToCloudClipboard\""),
        dwordZero);
#elif defined(Q_OS_MACOS)
    data->setData(QStringLiteral("application/x-nspasteboard-concealed-type"), QByteArray());
#else
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
#endif
    return data;
}

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

void QtFormRuntime::clipboardClear(ClipboardMode mode)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (exists(*clipboard, mode)) {
        clipboard->clear(toQt(mode));
    }
}

void QtFormRuntime::clipboardSetText(const Text& text)
{
    QGuiApplication::clipboard()->setMimeData(secretText(toQString(text)).release(),
                                              QClipboard::Clipboard);
}

bool QtFormRuntime::clipboardHolds(const Text& text, ClipboardMode mode) const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!exists(*clipboard, mode)) {
        return false;
    }
    const QClipboard::Mode qtMode = toQt(mode);
    const bool owned =
        qtMode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
    // Not owning it on a platform that tracks ownership means another program has put
    // something there since: that is the user's, leave it alone without even reading it.
    if (!owned && platformTracksOwnership()) {
        return false;
    }
    // A part counts: selecting or copying some of a shown password leaves just that part.
    const QString held = clipboard->text(qtMode);
    return !held.isEmpty() && toQString(text).contains(held);
}

void QtFormRuntime::msgBox(const Text& message) { m_messages.show(&m_form, toQString(message)); }

void QtFormRuntime::beep() { QApplication::beep(); }

void QtFormRuntime::show(Form form) { m_forms.show(form.name); }

void QtFormRuntime::unload(Form form) { m_forms.unload(form.name); }

void QtFormRuntime::end() { m_forms.end(); }

} // namespace tessivo::forms
