#include "fill/message_sink.h"

void mtxMessagePrinter::Message(const std::string& text) {
    std::fprintf(stream_, "%s\n", mtxPrintable(text).c_str());
    std::fflush(stream_);
}

std::string mtxPrintable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    char escaped[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04X", next);
            out += escaped;
            ++i;
        } else {
            out += char(c);
        }
    }
    return out;
}
