// Test doubles of the editor's outside world: a phone book object held in memory that logs its
// calls and fails one on request, scripted phone book dialogs, and a runner that runs workers in
// line and records their progress.
#pragma once

#include "common/prompter.h"
#include "phonebook/editor/book_dialogs.h"
#include "phonebook/editor/bookmanager_doc.h"
#include "platform/bstr.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace qelta::test {

class FakeBook : public platform::com::Object<IBookmanagerTool> {
public:
    struct Folder {
        int32_t id, type;
        std::string name;
    };
    struct Record {
        int32_t id, type;
        std::string name;
        int32_t parent;
        std::map<std::string, std::string> values;
    };
    std::vector<Folder> folders;
    std::vector<Record> records;
    std::vector<std::string> calls; ///< "Name(arguments)"
    std::string failCall;           ///< the call (as logged) that answers failHow
    HRESULT failHow = E_FAIL;

    HRESULT Initiate(BSTR path) override { return Log("Initiate(" + platform::com::ansiFromBstr(path) + ")"); }
    HRESULT GetRecordInfo(int32_t id, int32_t* type, BSTR* name, int32_t* parent) override
    {
        const Record* r = Find(id);
        HRESULT hr = Log("GetRecordInfo(" + std::to_string(id) + ")");
        if (hr != S_OK || !r)
            return hr != S_OK ? hr : S_FALSE;
        *type = r->type;
        *name = platform::com::bstrFromAnsi(r->name);
        *parent = r->parent;
        return S_OK;
    }
    HRESULT GetRecordValue(int32_t id, BSTR key, BSTR* value) override
    {
        const std::string k = platform::com::ansiFromBstr(key);
        HRESULT hr = Log("GetRecordValue(" + std::to_string(id) + "," + k + ")");
        const Record* r = Find(id);
        if (hr != S_OK)
            return hr;
        if (!r || !r->values.count(k))
            return S_FALSE;
        *value = platform::com::bstrFromAnsi(r->values.at(k));
        return S_OK;
    }
    HRESULT FindRecords(int32_t folder, int mask, int32_t* handle, int32_t* count) override
    {
        listed.clear();
        for (const Record& r : records)
            if (r.parent == folder)
                listed.push_back(r.id);
        *handle = 7;
        *count = static_cast<int32_t>(listed.size());
        return Log("FindRecords(" + std::to_string(folder) + "," + std::to_string(mask) + ")");
    }
    HRESULT GetRecordID(int32_t, int index, int32_t* id) override
    {
        *id = listed.at(static_cast<size_t>(index));
        return Log("GetRecordID(" + std::to_string(index) + ")");
    }
    HRESULT CloseRecords(int32_t) override { return Log("CloseRecords"); }
    HRESULT FindFolders(int32_t* handle, int32_t* count) override
    {
        *handle = 9;
        *count = static_cast<int32_t>(folders.size());
        return Log("FindFolders");
    }
    HRESULT GetFolderID(int32_t, int index, int32_t* id) override
    {
        *id = folders.at(static_cast<size_t>(index)).id;
        return Log("GetFolderID(" + std::to_string(index) + ")");
    }
    HRESULT CloseFolders(int32_t) override { return Log("CloseFolders"); }
    HRESULT GetFolderInfo(int32_t id, int32_t* type, BSTR* name) override
    {
        HRESULT hr = Log("GetFolderInfo(" + std::to_string(id) + ")");
        for (const Folder& f : folders)
            if (f.id == id && hr == S_OK) {
                *type = f.type;
                *name = platform::com::bstrFromAnsi(f.name);
                return S_OK;
            }
        return hr == S_OK ? S_FALSE : hr;
    }
    HRESULT DeleteRecord(int32_t id, int32_t update) override
    {
        return Log("DeleteRecord(" + std::to_string(id) + "," + std::to_string(update) + ")");
    }
    HRESULT UpdateRecordValue(int32_t id, BSTR key, BSTR value) override
    {
        return Log("UpdateRecordValue(" + std::to_string(id) + "," + platform::com::ansiFromBstr(key) + "," + platform::com::ansiFromBstr(value) + ")");
    }
    HRESULT RemoveFolder(int32_t id) override { return Log("RemoveFolder(" + std::to_string(id) + ")"); }
    HRESULT MoveRecord(int32_t id, int32_t from, int32_t to) override
    {
        return Log("MoveRecord(" + std::to_string(id) + "," + std::to_string(from) + "," + std::to_string(to) + ")");
    }
    HRESULT RenameFolder(int32_t id, BSTR name) override
    {
        return Log("RenameFolder(" + std::to_string(id) + "," + platform::com::ansiFromBstr(name) + ")");
    }
    HRESULT CreateNewRecord(int32_t, BSTR, int32_t, int32_t*, int32_t) override { return E_NOTIMPL; }
    HRESULT FlushRecord(int32_t, int32_t) override { return E_NOTIMPL; }
    HRESULT AddRecordValue(int32_t, int32_t, BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT CreateNewAddress(BSTR, int32_t, int32_t, BSTR, int32_t, BSTR, int32_t, int32_t, BSTR, BSTR, int32_t,
                             int32_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT GetAddressInfo(int32_t, BSTR*, int32_t*, int32_t*, BSTR*, int32_t*, BSTR*, int32_t*, int32_t*, BSTR*,
                           BSTR*, int32_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT GetPhoneBookCount(int32_t*) override { return E_NOTIMPL; }
    HRESULT GetPhoneBookInfo(int, BSTR*, DATE*) override { return E_NOTIMPL; }
    HRESULT GetPhonebookDirectory(BSTR*) override { return E_NOTIMPL; }
    HRESULT CreateNewGroup(BSTR, int32_t, int32_t*, int32_t) override { return E_NOTIMPL; }
    HRESULT AddRecord2Group(int32_t, int32_t) override { return E_NOTIMPL; }
    HRESULT FlushGroup(int32_t, int32_t) override { return E_NOTIMPL; }
    HRESULT GetRecordCountInGroup(int32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT GetRecordIDInGroup(int32_t, int, int32_t*) override { return E_NOTIMPL; }
    HRESULT GetRecordInfo2(int32_t, int32_t*, int32_t*) override { return E_NOTIMPL; }

private:
    HRESULT Log(std::string call)
    {
        calls.push_back(call);
        return call == failCall ? failHow : S_OK;
    }
    const Record* Find(int32_t id) const
    {
        for (const Record& r : records)
            if (r.id == id)
                return &r;
        return nullptr;
    }
    std::vector<int32_t> listed;
};

/// The phone book dialogs answering from a script: each call takes the next answer.
class ScriptedBookDialogs : public IBookDialogs {
public:
    int answer = 1;
    NewAddress address;
    std::string name, path;
    int id = 0, changed = 0;
    std::vector<std::string> calls;
    std::function<void()> onShow; ///< what the address or group dialog changes in the book

    int CreateNewAddress(const std::string& book, int folder, void*, NewAddress& result) override
    {
        calls.push_back("CreateNewAddress(" + book + "," + std::to_string(folder) + ")");
        result = address;
        return answer;
    }
    int CreateNewGroup(const std::string& book, int folder, void*, std::string& n, int& i) override
    {
        calls.push_back("CreateNewGroup(" + book + "," + std::to_string(folder) + ")");
        n = name;
        i = id;
        return answer;
    }
    int CreateNewFolder(const std::string& book, void*, std::string& n, int& i) override
    {
        calls.push_back("CreateNewFolder(" + book + ")");
        n = name;
        i = id;
        return answer;
    }
    int SelectPhoneBook(void*, std::string& p, std::string& n, int busy, int del) override
    {
        calls.push_back("SelectPhoneBook(" + std::to_string(busy) + "," + std::to_string(del) + ")");
        p = path;
        n = name;
        return answer;
    }
    int ShowAddress(void*, const std::string& book, int record, int& c) override
    {
        calls.push_back("ShowAddress(" + book + "," + std::to_string(record) + ")");
        if (onShow)
            onShow();
        c = changed;
        return answer;
    }
    int ShowGroup(void*, const std::string& book, int record, int& c) override
    {
        calls.push_back("ShowGroup(" + book + "," + std::to_string(record) + ")");
        if (onShow)
            onShow();
        c = changed;
        return answer;
    }
};

/// Runs workers in line, recording their progress.
class InlineProgress : public IProgressRunner, public IProgressSink {
public:
    std::vector<int> progress;
    std::vector<std::string> captions;
    int failure = 0;
    int Run(const std::string& caption, const Worker& worker) override
    {
        captions.push_back(caption);
        failure = 0;
        worker(*this);
        return failure;
    }
    void Progress(int percent) override { progress.push_back(percent); }
    void Fail(int code) override { failure = code; }
};

/// Message boxes answered from a queue; an unexpected one fails the test.
class QueuedPrompter : public IPrompter {
public:
    std::deque<int> answers;
    std::optional<std::string> openFile; ///< the open choice's answer
    std::vector<std::string> shown; ///< "caption: text"
    int MessageBox(const std::string& text, const std::string& caption, unsigned) override
    {
        shown.push_back(caption + ": " + text);
        if (answers.empty())
            return IDCANCEL;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> GetOpenFileName(FileQuestion&) override
    {
        return openFile;
    }
};

} // namespace qelta::test
