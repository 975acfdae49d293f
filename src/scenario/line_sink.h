// A stream destination that hands a trace over one whole line at a time, so
// a harness can judge or count a run as it is written and keep nothing.
#pragma once

#include <streambuf>
#include <string>
#include <string_view>

namespace linkwell::scenario {

class LineSink : public std::streambuf {
public:
    LineSink() { line_.reserve(512); }

protected:
    // Each byte as it comes, the newline included.
    virtual void Byte(char) {}
    // Each line without its newline.
    virtual void Line(std::string_view line) = 0;

    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        Put(traits_type::to_char_type(ch));
        return ch;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
        return n;
    }

private:
    void Put(char c) {
        Byte(c);
        if (c != '\n') {
            line_ += c;
            return;
        }
        Line(line_);
        line_.clear();
    }

    std::string line_;
};

}  // namespace linkwell::scenario
