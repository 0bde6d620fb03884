#pragma once
#include <cstdio>
#include <string>

// Where messages for the user go: the editor window shows them, a test collects them, batch
// work prints them. A message is one complete sentence on one line that names what and where.
class mtxMessageSink {
  public:
    virtual ~mtxMessageSink() = default;
    virtual void Message(const std::string& text) = 0;
};

// Prints each message as a line on a stream (standard error unless told otherwise), its
// control characters escaped as mtxPrintable does.
class mtxMessagePrinter : public mtxMessageSink {
  public:
    explicit mtxMessagePrinter(std::FILE* stream = stderr) : stream_(stream) {}
    void Message(const std::string& text) override;

  private:
    std::FILE* stream_;
};

// text with its control characters written out, so that a name read from a file can neither
// break a message over lines nor steer a terminal: \n, \r and \t as such, other C0 controls
// and DEL as \xNN, C1 controls (U+0080 to U+009F in UTF-8) as \uNNNN. Other bytes are kept.
std::string mtxPrintable(const std::string& text);
