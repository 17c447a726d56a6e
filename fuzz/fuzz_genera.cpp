// Fuzzes the generate command, Genera, and what the main form's END and close box then do to
// the clipboard (Form1's ComEnd_Click and Form_Unload), through the in-memory form runtime.
//
// Input format (missing bytes read as 0, a missing text is empty):
//   byte 0     control
//                bits 0-1  how every text's bytes become code points (fuzz_input.h):
//                          0 UTF-8, ill-formed parts as U+FFFD; 1 raw UTF-8 patterns;
//                          2 raw 32-bit little-endian values; 3 raw UTF-16LE
//                bits 2-3  the clipboard before: 0 empty; 1 ours, holding Pas; 2 ours,
//                          holding the clipboard text; 3 another program's clipboard text
//                bit 4     the selection holds another program's clipboard text
//   bytes 1-2  Z, int16 little-endian (0: Alphabet mode)
//   bytes 3-4  H, int16 little-endian (0: show the password)
//   then eight texts, each one byte giving its byte count, then those bytes:
//     TxtNomesito, TxtUsername, TxtKey (the key box), K (the key buffer), Cobnumerokey (the
//     length text), LabPassword before, Pas before, the clipboard text
//   then one byte for leaving (a missing byte is END with nothing in between):
//                bit 0     0 END; 1 the close box
//                bits 1-2  after the password: 0 nothing; 1 another program copies the
//                          clipboard text; 2 part of the password is selected (the selection,
//                          ours); 3 a clipboard manager takes the password over
//                bit 3     a clipboard manager refills the clipboard once Tessivo empties it
//
// After Genera, exactly one of two things must have happened. Generated: no message,
// LabPassword shows Pas (or "OK" when H != 0), and the clipboard holds exactly Pas, ours and
// marked secret. Anything else: exactly one message, LabPassword empty, clipboard and Pas as
// they were. Either way an empty key box now shows "0" and the key is "0"; what the user typed
// elsewhere, and the selection, are left alone.
//
// Then a fresh Form1 over the same inputs generates and is left by END or the close box. Only
// a clipboard (or selection) that holds the password, or a part Tessivo put there, changes;
// afterwards neither holds the password. A text the clipboard held before the password comes
// back, marked as it was, unless it was the password itself; with nothing to put back
// the clipboard is empty, or "(password removed)" when a manager refilled it. The close box
// also wipes the key and the password. Any other outcome aborts.

#include "form1.h"
#include "form1_fields.h"
#include "fuzz_input.h"
#include "genera.h"
#include "memory_form_runtime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using tessivo::clipboard::Board;
using tessivo::clipboard::ClipboardText;
using tessivo::forms::Text;
using tessivo::main_window::Cobnumerokey;
using tessivo::main_window::Form1;
using tessivo::main_window::Form1Variables;
using tessivo::main_window::Genera;
using tessivo::main_window::GeneraOutcome;
using tessivo::main_window::LabPassword;
using tessivo::main_window::TxtKey;
using tessivo::main_window::TxtNomesito;
using tessivo::main_window::TxtUsername;
using tessivo::testing::MemoryFormRuntime;
using namespace tessivo::fuzzing;

bool same(const MemoryFormRuntime::Content& a, const MemoryFormRuntime::Content& b)
{
    return a.text == b.text && a.empty == b.empty && a.secret == b.secret && a.ours == b.ours;
}

const char* outcomeName(GeneraOutcome outcome)
{
    switch (outcome) {
    case GeneraOutcome::Generated:
        return "Generated";
    case GeneraOutcome::NoSeed:
        return "NoSeed";
    case GeneraOutcome::BadLength:
        return "BadLength";
    case GeneraOutcome::NoNumberDigits:
        return "NoNumberDigits";
    }
    return "not a GeneraOutcome";
}

struct Before {
    Text site, user, keyBox, key, lengthText, label, pas, clip;
    std::int16_t Z = 0, H = 0;
    int clipboardState = 0;
    bool selectionFilled = false;
};

// Fills the boxes and the clipboard as `b` says.
void setUp(MemoryFormRuntime& form, const Before& b)
{
    form.textBoxes[std::string(TxtNomesito.name)] = b.site;
    form.textBoxes[std::string(TxtUsername.name)] = b.user;
    form.textBoxes[std::string(TxtKey.name)] = b.keyBox;
    form.textBoxes[std::string(LabPassword.name)] = b.label;
    form.comboBoxes[std::string(Cobnumerokey.name)] = b.lengthText;
    switch (b.clipboardState) {
    case 1:
        form.setText(b.pas);
        break;
    case 2:
        form.setText(b.clip);
        break;
    case 3:
        form.otherProgramCopies(b.clip);
        break;
    default:
        break;
    }
    if (b.selectionFilled) {
        form.otherProgramCopies(b.clip, Board::Selection);
    }
}

bool holdsExactly(const MemoryFormRuntime::Content& board, const Text& text)
{
    return !board.empty && board.text == text;
}

// END or the close box after one generation through Form1.
void checkLeaving(const Before& b, std::uint8_t leaving)
{
    const bool closeBox = (leaving & 0x01U) != 0;
    const unsigned after = (leaving >> 1U) & 0x03U;
    const bool manager = (leaving & 0x08U) != 0;

    MemoryFormRuntime form;
    setUp(form, b);
    const ClipboardText before = form.text(Board::Clipboard);
    Form1 main(form, form);
    main.Form_Load();
    main.TxtKey_Change();
    if (b.Z != 0) {
        main.Number_Click();
    }
    if (b.H != 0) {
        main.Hideing_Click();
    }
    main.Genera();
    const Text pas = main.variables().Pas;

    if (after == 1) {
        form.otherProgramCopies(b.clip);
    } else if (after == 2 && !pas.empty()) {
        form.putBack({pas.substr(0, (pas.size() + 1) / 2), true}, Board::Selection);
    } else if (after == 3 && !pas.empty()) {
        form.otherProgramCopies(pas);
    }
    const MemoryFormRuntime::Content clipboardBefore = form.clipboard;
    const MemoryFormRuntime::Content selectionBefore = form.selection;
    const bool heldClipboard = !pas.empty() && form.holds(pas, Board::Clipboard);
    const bool heldSelection = !pas.empty() && form.holds(pas, Board::Selection);
    if (manager) {
        // Its newest entry is the password: it saw it arrive.
        form.whileWaiting([&form, &pas, filled = !clipboardBefore.empty] {
            if (filled && form.clipboard.empty) {
                form.otherProgramCopies(pas);
            }
        });
    }

    const int messages = static_cast<int>(form.messages.size());
    if (closeBox) {
        main.Form_Unload();
    } else {
        main.ComEnd_Click();
    }

    const auto require = [&](bool holds, const char* what) {
        if (holds) {
            return;
        }
        dump("Pas", pas);
        dump("clipboard before the password", before.text);
        dump("clipboard at the end", clipboardBefore.text);
        dump("clipboard after", form.clipboard.text);
        dump("selection after", form.selection.text);
        std::fprintf(stderr, "%s, after %u, manager %d, held %d/%d\n",
                     closeBox ? "close box" : "END", after, manager ? 1 : 0, heldClipboard ? 1 : 0,
                     heldSelection ? 1 : 0);
        fail(what);
    };
    require(form.ends == (closeBox ? 0 : 1), "END did not end, or the close box ended");
    require(static_cast<int>(form.messages.size()) == messages, "leaving showed a message");
    if (closeBox) {
        require(main.variables().Pas.empty() && main.variables().K.empty(),
                "the close box left the key or the password in memory");
    }
    require(heldClipboard || same(form.clipboard, clipboardBefore),
            "a clipboard that did not hold the password changed");
    require(heldSelection || same(form.selection, selectionBefore),
            "a selection that did not hold the password changed");
    if (!pas.empty()) {
        require(!holdsExactly(form.clipboard, pas), "the password is still on the clipboard");
        require(!holdsExactly(form.selection, pas), "the password is still in the selection");
    }
    if (heldSelection) {
        require(form.selection.empty, "the selection held the password and was not emptied");
    }
    if (!heldClipboard) {
        return;
    }
    const bool putBack = !before.text.empty() && before.text != pas;
    if (putBack) {
        require(holdsExactly(form.clipboard, before.text) && form.clipboard.secret == before.secret,
                "the text before the password did not come back as it was");
    } else if (!putBack && manager) {
        require(holdsExactly(form.clipboard, U"(password removed)"),
                "a manager's refill was not replaced by the notice");
    } else if (!putBack) {
        require(form.clipboard.empty, "with nothing to put back the clipboard was not emptied");
    }
}

struct Checker {
    const Before& before;
    const MemoryFormRuntime& form;
    const Form1Variables& vars;
    GeneraOutcome outcome;

    Text box(tessivo::forms::TextBox b) const { return form.text(b); }

    void require(bool holds, const char* what) const
    {
        if (holds) {
            return;
        }
        dump("site", before.site);
        dump("user", before.user);
        dump("key box before", before.keyBox);
        dump("key before", before.key);
        dump("length text", before.lengthText);
        dump("Pas before", before.pas);
        std::fprintf(stderr, "Z %d, H %d, clipboard state %d, outcome %s, messages %zu\n", before.Z,
                     before.H, before.clipboardState, outcomeName(outcome), form.messages.size());
        dump("Pas after", vars.Pas);
        dump("LabPassword after", box(LabPassword));
        dump("clipboard after", form.clipboard.text);
        fail(what);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    const Encoding encoding = encodingFrom(control);
    const auto text = [&in, encoding] { return decode(in.bytes(in.byte()), encoding); };

    Before b;
    b.clipboardState = (control >> 2U) & 0x03U;
    b.selectionFilled = (control & 0x10U) != 0;
    b.Z = in.i16();
    b.H = in.i16();
    b.site = text();
    b.user = text();
    b.keyBox = text();
    b.key = text();
    b.lengthText = text();
    b.label = text();
    b.pas = text();
    b.clip = text();
    const std::uint8_t leaving = in.byte();

    MemoryFormRuntime form;
    setUp(form, b);
    const MemoryFormRuntime::Content clipboardBefore = form.clipboard;
    const MemoryFormRuntime::Content selectionBefore = form.selection;

    Form1Variables vars;
    vars.K = b.key;
    vars.Z = b.Z;
    vars.H = b.H;
    vars.Pas = b.pas;

    const GeneraOutcome outcome = Genera(form, form, vars);
    const Checker check{b, form, vars, outcome};

    if (outcome == GeneraOutcome::Generated) {
        check.require(form.messages.empty(), "a password was generated and a message shown");
        check.require(!vars.Pas.empty(), "Generated, but Pas is empty");
        check.require(check.box(LabPassword) == (b.H != 0 ? Text(U"OK") : vars.Pas),
                      "Generated, but LabPassword does not show Pas (or \"OK\" when H != 0)");
        check.require(form.clipboard.text == vars.Pas && !form.clipboard.empty,
                      "Generated, but the clipboard does not hold exactly Pas");
        check.require(form.clipboard.secret, "the password on the clipboard is not marked secret");
        check.require(form.clipboard.ours, "the password on the clipboard is not ours");
    } else {
        check.require(outcome == GeneraOutcome::NoSeed || outcome == GeneraOutcome::BadLength ||
                          outcome == GeneraOutcome::NoNumberDigits,
                      "Genera returned a value outside GeneraOutcome");
        check.require(form.messages.size() == 1, "refused without exactly one message");
        check.require(check.box(LabPassword).empty(), "refused, but LabPassword is not empty");
        check.require(same(form.clipboard, clipboardBefore), "refused, but the clipboard changed");
        check.require(vars.Pas == b.pas, "refused, but Pas changed");
    }
    check.require((outcome == GeneraOutcome::NoSeed) == (b.site.empty() && b.user.empty()),
                  "NoSeed does not match site and user both being empty");
    check.require(b.Z != 0 || outcome != GeneraOutcome::NoNumberDigits,
                  "NoNumberDigits in Alphabet mode");

    if (b.keyBox.empty() && outcome == GeneraOutcome::Generated) {
        check.require(check.box(TxtKey) == U"0", "the empty key box did not become \"0\"");
        check.require(vars.K == U"0", "the empty key box did not make the key \"0\"");
    } else { // a refused generation changes no input, an empty key box included
        check.require(check.box(TxtKey) == b.keyBox, "the key box changed");
        check.require(vars.K == b.key, "the key buffer changed");
    }
    check.require(check.box(TxtNomesito) == b.site, "the site box changed");
    check.require(check.box(TxtUsername) == b.user, "the user box changed");
    check.require(form.comboBoxes.at(std::string(Cobnumerokey.name)) == b.lengthText,
                  "the length text changed");
    check.require(vars.Z == b.Z && vars.H == b.H, "Z or H changed");
    check.require(same(form.selection, selectionBefore), "the selection changed");

    checkLeaving(b, leaving);
    return 0;
}
