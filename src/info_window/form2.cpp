#include "form2.h"

#include "form_names.h"

namespace tessivo::info_window {

Form2::Form2(forms::FormRuntime& runtime)
    : m_runtime(runtime)
{
}

// The main form comes first: were this form unloaded while the user had closed the main one,
// no form would be left and the program would end.
void Form2::Command1_Click()
{
    m_runtime.show(forms::Form1Name);
    m_runtime.unload(forms::Form2Name);
}

} // namespace tessivo::info_window
