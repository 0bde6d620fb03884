#include "fill/message_sink.h"

void mtxMessagePrinter::Message(const std::string& text) {
    std::fprintf(stream_, "%s\n", text.c_str());
    std::fflush(stream_);
}
