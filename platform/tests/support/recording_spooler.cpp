#include "platform/tests/support/recording_spooler.h"

#include "platform/files.h"

#include <algorithm>

namespace platform {

// One open printer of the recording spooler. The spooler must outlive its handles.
//
// The handle walks through Open -> InDocument <-> InPage -> Finished; a call made in the wrong state
// is logged and refused without touching the state. A call in the right state that the spooler was
// told to fail is refused as well and leaves the state as it was.
class RecordingSpooler::Handle : public PrinterHandle {
public:
    Handle(RecordingSpooler& spooler, std::string printer) : spooler_(spooler), printer_(std::move(printer)) {}

    ~Handle() override
    {
        std::lock_guard lock(spooler_.mutex_);
        if (state_ == State::InDocument || state_ == State::InPage) {
            spooler_.calls_.push_back("cancel");
            spooler_.documents_[document_].cancelled = true;
        }
        spooler_.calls_.push_back("close");
    }

    bool startDocument(std::string_view documentName, std::string_view dataType) override
    {
        std::lock_guard lock(spooler_.mutex_);
        spooler_.calls_.push_back("startDocument " + std::string(documentName) + " " + std::string(dataType));
        if (state_ != State::Open || spooler_.shouldFail(Step::StartDocument))
            return false;
        Document document;
        document.printer = printer_;
        document.name = documentName;
        document.dataType = dataType;
        spooler_.documents_.push_back(std::move(document));
        document_ = spooler_.documents_.size() - 1;
        state_ = State::InDocument;
        return true;
    }

    bool startPage() override
    {
        std::lock_guard lock(spooler_.mutex_);
        spooler_.calls_.push_back("startPage");
        if (state_ != State::InDocument || spooler_.shouldFail(Step::StartPage))
            return false;
        spooler_.documents_[document_].pages.emplace_back();
        state_ = State::InPage;
        return true;
    }

    bool write(const void* data, size_t size, size_t& written) override
    {
        written = 0;
        std::lock_guard lock(spooler_.mutex_);
        if (state_ != State::InPage || (data == nullptr && size > 0) || spooler_.shouldFail(Step::Write)) {
            spooler_.calls_.push_back("write 0");
            return false;
        }
        const size_t taken = spooler_.writeLimit_ ? std::min(size, spooler_.writeLimit_) : size;
        if (taken > 0)
            spooler_.documents_[document_].pages.back().append(static_cast<const char*>(data), taken);
        spooler_.calls_.push_back("write " + std::to_string(taken));
        written = taken;
        return true;
    }

    bool endPage() override
    {
        std::lock_guard lock(spooler_.mutex_);
        spooler_.calls_.push_back("endPage");
        if (state_ != State::InPage || spooler_.shouldFail(Step::EndPage))
            return false;
        state_ = State::InDocument;
        return true;
    }

    bool endDocument() override
    {
        std::lock_guard lock(spooler_.mutex_);
        spooler_.calls_.push_back("endDocument");
        if (state_ != State::InDocument || spooler_.shouldFail(Step::EndDocument))
            return false;
        spooler_.documents_[document_].ended = true;
        state_ = State::Finished;
        return true;
    }

    void cancelDocument() override
    {
        std::lock_guard lock(spooler_.mutex_);
        spooler_.calls_.push_back("cancel");
        if (state_ == State::InDocument || state_ == State::InPage) {
            spooler_.documents_[document_].cancelled = true;
            state_ = State::Finished;
        }
    }

private:
    enum class State { Open, InDocument, InPage, Finished };

    RecordingSpooler& spooler_;
    const std::string printer_;
    State state_ = State::Open;
    size_t document_ = 0; // index into the spooler's documents once started
};

std::shared_ptr<RecordingSpooler> RecordingSpooler::install(std::string printerName)
{
    auto spooler = std::make_shared<RecordingSpooler>();
    spooler->addPrinter(std::move(printerName));
    setSpooler(spooler);
    return spooler;
}

void RecordingSpooler::addPrinter(std::string name, std::string deviceUri)
{
    std::lock_guard lock(mutex_);
    for (auto& [known, uri] : printers_)
        if (known == name) {
            uri = std::move(deviceUri);
            return;
        }
    printers_.emplace_back(std::move(name), std::move(deviceUri));
}

void RecordingSpooler::failAt(Step step, int occurrence)
{
    if (occurrence < 1)
        return;
    std::lock_guard lock(mutex_);
    failures_.emplace_back(step, occurrence);
}

void RecordingSpooler::limitWrites(size_t maxBytes)
{
    std::lock_guard lock(mutex_);
    writeLimit_ = maxBytes;
}

std::vector<RecordingSpooler::Document> RecordingSpooler::documents() const
{
    std::lock_guard lock(mutex_);
    return documents_;
}

std::vector<std::string> RecordingSpooler::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

// Counts one call of step against every pending failure of that step; true when one of them is due.
bool RecordingSpooler::shouldFail(Step step)
{
    bool fail = false;
    for (auto& [failing, remaining] : failures_)
        if (failing == step && --remaining == 0)
            fail = true;
    std::erase_if(failures_, [](const auto& f) { return f.second <= 0; });
    return fail;
}

std::unique_ptr<PrinterHandle> RecordingSpooler::openPrinter(std::string_view printerName, std::string*)
{
    std::lock_guard lock(mutex_);
    calls_.push_back("open " + std::string(printerName));
    const bool known = std::any_of(printers_.begin(), printers_.end(),
                                   [&](const auto& p) { return p.first == printerName; });
    if (!known || shouldFail(Step::Open))
        return nullptr;
    return std::make_unique<Handle>(*this, std::string(printerName));
}

std::optional<std::string> RecordingSpooler::deviceUri(std::string_view printerName)
{
    std::lock_guard lock(mutex_);
    for (const auto& [name, uri] : printers_)
        if (name == printerName) {
            if (uri.empty())
                return std::nullopt;
            return uri;
        }
    return std::nullopt;
}

void RecordingSpooler::setMakeAndModel(std::string_view name, std::string makeAndModel)
{
    std::lock_guard lock(mutex_);
    std::erase_if(models_, [&](const auto& m) { return m.first == name; });
    models_.emplace_back(std::string(name), std::move(makeAndModel));
}

bool RecordingSpooler::hasPrinter(std::string_view printerName)
{
    std::lock_guard lock(mutex_);
    return std::any_of(printers_.begin(), printers_.end(), [&](const auto& p) { return p.first == printerName; });
}

std::optional<std::string> RecordingSpooler::makeAndModel(std::string_view printerName)
{
    std::lock_guard lock(mutex_);
    if (!std::any_of(printers_.begin(), printers_.end(), [&](const auto& p) { return p.first == printerName; }))
        return std::nullopt;
    for (const auto& [name, model] : models_)
        if (name == printerName && !model.empty())
            return model;
    return std::nullopt;
}

} // namespace platform

namespace platform {

void RecordingSpooler::setPlace(std::string_view name, std::string location, std::string info)
{
    std::lock_guard lock(mutex_);
    std::erase_if(places_, [&](const Destination& d) { return d.name == name; });
    places_.push_back({std::string(name), {}, std::move(location), std::move(info)});
}

void RecordingSpooler::removePrinter(std::string_view name)
{
    std::lock_guard lock(mutex_);
    forget(name);
}

void RecordingSpooler::forget(std::string_view name)
{
    std::erase_if(printers_, [&](const auto& p) { return p.first == name; });
    std::erase_if(models_, [&](const auto& m) { return m.first == name; });
    std::erase_if(places_, [&](const Destination& d) { return d.name == name; });
    std::erase_if(queues_, [&](const Queue& q) { return q.definition.name == name; });
    if (default_ == name)
        default_.clear();
}

std::vector<RecordingSpooler::Queue> RecordingSpooler::queues() const
{
    std::lock_guard lock(mutex_);
    return queues_;
}

void RecordingSpooler::setDevices(std::vector<std::string> uris)
{
    std::lock_guard lock(mutex_);
    devices_ = std::move(uris);
}

bool RecordingSpooler::addQueue(const QueueDefinition& queue, std::string* error)
{
    std::string ppd;
    const bool readable = queue.ppdPath.empty()
                          || readFile(queue.ppdPath, ppd, size_t{1} << 20) == ReadStatus::Ok;
    std::lock_guard lock(mutex_);
    calls_.push_back("addQueue " + queue.name);
    if (queue.name.empty() || queue.deviceUri.empty() || !readable || shouldFail(Step::AddQueue)) {
        if (error)
            *error = "refused";
        return false;
    }
    // The make and model is the PPD's NickName, as CUPS takes it.
    std::string model;
    if (const size_t at = ppd.find("*NickName: \""); at != std::string::npos) {
        const size_t start = at + 12;
        model = ppd.substr(start, ppd.find('"', start) - start);
    }
    forget(queue.name);
    printers_.emplace_back(queue.name, queue.deviceUri);
    models_.emplace_back(queue.name, model);
    places_.push_back({queue.name, {}, {}, queue.info});
    queues_.push_back({queue, std::move(ppd)});
    return true;
}

bool RecordingSpooler::removeQueue(std::string_view name)
{
    std::lock_guard lock(mutex_);
    calls_.push_back("removeQueue " + std::string(name));
    const bool known = std::any_of(printers_.begin(), printers_.end(), [&](const auto& p) { return p.first == name; });
    if (!known || shouldFail(Step::RemoveQueue))
        return false;
    forget(name);
    return true;
}

bool RecordingSpooler::setDefaultDestination(std::string_view name)
{
    std::lock_guard lock(mutex_);
    calls_.push_back("setDefault " + std::string(name));
    const bool known = std::any_of(printers_.begin(), printers_.end(), [&](const auto& p) { return p.first == name; });
    if (!known || shouldFail(Step::SetDefault))
        return false;
    default_ = name;
    return true;
}

std::optional<std::string> RecordingSpooler::defaultDestination()
{
    std::lock_guard lock(mutex_);
    if (default_.empty())
        return std::nullopt;
    return default_;
}

std::optional<std::vector<std::string>> RecordingSpooler::listDevices(std::chrono::milliseconds)
{
    std::lock_guard lock(mutex_);
    calls_.push_back("devices");
    if (shouldFail(Step::Devices))
        return std::nullopt;
    return devices_;
}

std::optional<std::vector<Destination>> RecordingSpooler::listDestinations(std::chrono::milliseconds)
{
    std::lock_guard lock(mutex_);
    calls_.push_back("list");
    if (shouldFail(Step::List))
        return std::nullopt;
    std::vector<Destination> list;
    for (const auto& [name, uri] : printers_) {
        Destination destination{name, {}, {}, {}};
        for (const auto& [known, model] : models_)
            if (known == name)
                destination.makeAndModel = model;
        for (const Destination& place : places_)
            if (place.name == name) {
                destination.location = place.location;
                destination.info = place.info;
            }
        list.push_back(std::move(destination));
    }
    return list;
}

} // namespace platform
