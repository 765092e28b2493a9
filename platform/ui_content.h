// What a memo and a progress bar hold, the same whichever toolkit shows them.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

namespace ui::content {

// A memo's text as lines: CR LF or LF ends a line; no text, no line.
inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; !text.empty() && start <= text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r')));
        start = end + 1;
    }
    return lines;
}

// The lines as one text, joined as an edit control keeps them.
inline std::string join_lines(const std::vector<std::string>& lines) {
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) joined += (i ? "\r\n" : "") + lines[i];
    return joined;
}

inline std::string line_at(const std::vector<std::string>& lines, int index) {
    return index >= 0 && index < static_cast<int>(lines.size()) ? lines[index] : std::string();
}

// A bar's position moved by delta, kept between 0 and max.
inline int stepped(int position, int delta, int max) {
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(position) + delta, 0, max));
}

}  // namespace ui::content
