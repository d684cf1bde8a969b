// The programs' questions answered by a script: message boxes answered in turn, folders and files
// chosen. An unexpected question fails the test, and so does an answer left unused.
#pragma once

#include "common/prompter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

class ScriptedPrompter : public IPrompter {
public:
    /// caption: every box's caption; questionFlags: the flags a question may carry; warningFlags:
    /// those of every other box; folderTitle: the folder question's title (empty: not checked).
    ScriptedPrompter(std::string caption, std::vector<unsigned> questionFlags, unsigned warningFlags,
                     std::string folderTitle = {})
        : m_strCaption(std::move(caption)), m_QuestionFlags(std::move(questionFlags)), m_nWarningFlags(warningFlags),
          m_strFolderTitle(std::move(folderTitle))
    {
    }
    ~ScriptedPrompter() override
    {
        EXPECT_TRUE(expected.empty()) << "message box not shown: " << expected.front();
        EXPECT_TRUE(folders.empty()) << "folder not asked for";
        EXPECT_TRUE(files.empty()) << "file not asked for";
    }
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override
    {
        EXPECT_EQ(strCaption, m_strCaption);
        if (expected.empty()) {
            ADD_FAILURE() << "unexpected message box: " << strText;
            return IDOK;
        }
        EXPECT_EQ(strText, expected.front());
        expected.erase(expected.begin());
        const unsigned buttons = nFlags & 0x0F;
        if (buttons != MB_OK) {
            EXPECT_NE(std::find(m_QuestionFlags.begin(), m_QuestionFlags.end(), nFlags), m_QuestionFlags.end()) << nFlags;
            EXPECT_FALSE(answers.empty()) << strText;
            const int answer = answers.empty() ? (buttons == MB_OKCANCEL ? IDCANCEL : IDNO) : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        }
        EXPECT_EQ(nFlags, m_nWarningFlags);
        return IDOK;
    }
    std::optional<std::string> BrowseForFolder(const std::string& strTitle, const std::string& strStart) override
    {
        if (!m_strFolderTitle.empty()) {
            EXPECT_EQ(strTitle, m_strFolderTitle);
        }
        starts.push_back(strStart);
        if (folders.empty()) {
            ADD_FAILURE() << "unexpected folder question";
            return std::nullopt;
        }
        auto answer = folders.front();
        folders.erase(folders.begin());
        return answer;
    }
    std::optional<std::string> GetOpenFileName(FileQuestion& question) override { return fileAnswer(question); }
    std::optional<std::string> GetSaveFileName(FileQuestion& question) override { return fileAnswer(question); }

    std::vector<std::string> expected;
    std::vector<int> answers;
    std::vector<std::optional<std::string>> folders;
    std::vector<std::string> starts; ///< the folder each folder question opened at
    /// File questions: the path chosen (nothing: cancelled) and the extra list's entry chosen.
    std::vector<std::pair<std::optional<std::string>, int>> files;
    std::vector<FileQuestion> fileQuestions; ///< each file question as it was asked

private:
    std::optional<std::string> fileAnswer(FileQuestion& question)
    {
        fileQuestions.push_back(question);
        if (files.empty()) {
            ADD_FAILURE() << "unexpected file question: " << question.strTitle;
            return std::nullopt;
        }
        auto [path, index] = files.front();
        files.erase(files.begin());
        question.nExtraIndex = index;
        return path;
    }

    std::string m_strCaption;
    std::vector<unsigned> m_QuestionFlags;
    unsigned m_nWarningFlags;
    std::string m_strFolderTitle;
};

} // namespace test_support
