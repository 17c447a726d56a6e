#pragma once

#include "form_runtime.h"

// The information form's logic, written against the form runtime only, like the main form's.
namespace tessivo::info_window {

class Form2 {
public:
    explicit Form2(forms::FormRuntime& runtime);
    Form2(const Form2&) = delete;
    Form2& operator=(const Form2&) = delete;
    Form2(Form2&&) = delete;
    Form2& operator=(Form2&&) = delete;
    ~Form2() = default;

    // Back to the main form, then away with this one.
    void Command1_Click();

private:
    forms::FormRuntime& m_runtime;
};

} // namespace tessivo::info_window
