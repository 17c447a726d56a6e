#include "qt_forms.h"

#include <QWidget>

#include <algorithm>
#include <vector>

namespace tessivo::forms {

QtForms::~QtForms()
{
    for (auto& [name, form] : m_forms) {
        if (form.window != nullptr) {
            disconnect(form.window, nullptr, this, nullptr);
            delete form.window; // a top-level window: nothing else owns it
            form.window = nullptr;
        }
    }
}

void QtForms::define(std::string_view form, Factory factory)
{
    m_forms[std::string(form)].factory = std::move(factory);
}

QtForms::Entry& QtForms::entry(std::string_view form)
{
    const auto found = m_forms.find(form);
    if (found == m_forms.end()) {
        qFatal("Tessivo: no form named %.*s is defined", static_cast<int>(form.size()),
               form.data());
    }
    return found->second;
}

void QtForms::show(std::string_view form)
{
    Entry& e = entry(form);
    if (e.window == nullptr) {
        e.window = e.factory().release();
        e.window->setAttribute(Qt::WA_DeleteOnClose);
        connect(e.window, &QObject::destroyed, this, &QtForms::forget);
    }
    e.window->show();
    e.window->raise();
    e.window->activateWindow();
}

void QtForms::hide(std::string_view form)
{
    if (QWidget* window = loaded(form); window != nullptr) {
        window->hide();
    }
}

void QtForms::unload(std::string_view form)
{
    Entry& e = entry(form);
    if (e.window != nullptr) {
        // Deleted once control is back in the event loop: the caller may be a handler of
        // this very window. From here on the form counts as unloaded.
        QWidget* window = e.window;
        window->close();
        forget(window);
    }
}

void QtForms::unloadAll()
{
    std::vector<std::string> names;
    for (const auto& [name, form] : m_forms) {
        if (form.window != nullptr) {
            names.push_back(name);
        }
    }
    for (const auto& name : names) {
        unload(name);
    }
}

void QtForms::end() { emit ended(); }

QWidget* QtForms::loaded(std::string_view form) const
{
    const auto found = m_forms.find(form);
    return found == m_forms.end() ? nullptr : found->second.window;
}

void QtForms::forget(const QObject* window)
{
    bool wasLoaded = false;
    for (auto& [name, form] : m_forms) {
        if (form.window == window) {
            form.window = nullptr;
            wasLoaded = true;
        }
    }
    const bool anyLoaded = std::any_of(m_forms.begin(), m_forms.end(), [](const auto& named) {
        return named.second.window != nullptr;
    });
    if (wasLoaded && !anyLoaded) {
        emit ended();
    }
}

} // namespace tessivo::forms
