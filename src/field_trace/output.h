// Where a field trace goes: one line at a time into a file that a world
// provides, handed to the system as soon as it is whole (a crash or a kill
// loses at most the line being written), and kept to a bounded size by
// moving the full file aside to FILE.1 and starting a new one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace linkwell::field_trace {

// The file itself: opened for appending and shared for reading, so that a
// viewer can follow it while the bridge writes.
class TraceFile {
public:
    virtual ~TraceFile() = default;
    // Writes the bytes at the end of the file and hands them to the system;
    // false when they could not all be written.
    [[nodiscard]] virtual bool Append(std::string_view bytes) = 0;
    // The file's size now, in bytes.
    [[nodiscard]] virtual std::uint64_t Size() = 0;
    // Renames the file to FILE.1 (replacing an older FILE.1) and starts an
    // empty FILE; false when that failed.
    [[nodiscard]] virtual bool StartAnew() = 0;
    // The file's name as the user gave it, for the failure report.
    [[nodiscard]] virtual std::u16string Name() const = 0;
};

inline constexpr std::uint64_t kDefaultLimitBytes = 10ull * 1024 * 1024;

// Writes "TIME KIND DETAILS" lines. After the first failure it writes
// nothing more and calls the failure handler once: the bridge runs on
// without its trace.
class Output {
public:
    explicit Output(TraceFile& file, std::uint64_t limitBytes = kDefaultLimitBytes)
        : file_(file), limit_(limitBytes) {}

    void Line(std::int64_t time, std::string_view kind, std::string_view details);
    // Called once, on the first failure; may write nothing to this output.
    void OnFailure(std::function<void()> handler) { onFailure_ = std::move(handler); }
    [[nodiscard]] bool Failed() const { return failed_; }
    [[nodiscard]] const TraceFile& File() const { return file_; }

private:
    void Fail();

    TraceFile& file_;
    std::uint64_t limit_;
    bool failed_ = false;
    std::function<void()> onFailure_;
    std::string line_;
};

// A file in memory, for the simulated world and the tests: `capacity` bytes
// at most over all generations (a full disk), none when it cannot be opened.
class MemoryFile final : public TraceFile {
public:
    explicit MemoryFile(std::u16string name = u"memory", bool writable = true,
                        std::uint64_t capacity = UINT64_MAX)
        : name_(std::move(name)), writable_(writable), capacity_(capacity) {}

    bool Append(std::string_view bytes) override;
    std::uint64_t Size() override { return text_.size(); }
    bool StartAnew() override;
    std::u16string Name() const override { return name_; }

    [[nodiscard]] const std::string& Text() const { return text_; }
    // The text moved aside by the last StartAnew ("FILE.1").
    [[nodiscard]] const std::string& Previous() const { return previous_; }
    [[nodiscard]] int Generations() const { return generations_; }

private:
    std::u16string name_;
    bool writable_;
    std::uint64_t capacity_;
    std::uint64_t used_ = 0;
    std::string text_;
    std::string previous_;
    int generations_ = 1;
};

}  // namespace linkwell::field_trace
