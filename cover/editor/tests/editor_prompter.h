// The cover sheet editor's questions answered by a script: its caption, its question to save.
#pragma once

#include "common/tests/support/scripted_prompter.h"

namespace cvr_test {

class EditorPrompter : public test_support::ScriptedPrompter {
public:
    EditorPrompter()
        : test_support::ScriptedPrompter("Cover Sheet Editor", {MB_YESNOCANCEL | MB_ICONWARNING}, MB_ICONWARNING)
    {
    }
};

} // namespace cvr_test
