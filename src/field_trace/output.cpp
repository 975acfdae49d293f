#include "field_trace/output.h"

namespace linkwell::field_trace {

void Output::Line(std::int64_t time, std::string_view kind, std::string_view details) {
    if (failed_) return;
    line_ = std::to_string(time);
    line_ += ' ';
    line_ += kind;
    if (!details.empty()) {
        line_ += ' ';
        line_ += details;
    }
    line_ += '\n';
    // A line never straddles two files; a file holds at least one line.
    const std::uint64_t size = file_.Size();
    if (size > 0 && size + line_.size() > limit_ && !file_.StartAnew()) {
        Fail();
        return;
    }
    if (!file_.Append(line_)) Fail();
}

void Output::Fail() {
    failed_ = true;
    if (onFailure_) onFailure_();
}

bool MemoryFile::Append(std::string_view bytes) {
    if (!writable_ || used_ + bytes.size() > capacity_) return false;
    used_ += bytes.size();
    text_ += bytes;
    return true;
}

bool MemoryFile::StartAnew() {
    if (!writable_) return false;
    previous_ = std::move(text_);
    text_.clear();
    ++generations_;
    return true;
}

}  // namespace linkwell::field_trace
