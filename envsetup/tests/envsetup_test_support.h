// What the environment setting's tests share: a prompter that no message box may reach.
#pragma once

#include "common/prompter.h"

#include <gtest/gtest.h>

namespace envsetup_test {

/// Fails the test on any message box.
class NoQuestions : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string&, unsigned) override
    {
        ADD_FAILURE() << "unexpected message: " << strText;
        return IDOK;
    }
};

} // namespace envsetup_test
