#pragma once
#include <cstdio>
#include <string>

// Where messages for the user go: the editor window shows them, a test collects them, batch
// work prints them. A message is one complete sentence that names what and where.
class mtxMessageSink {
  public:
    virtual ~mtxMessageSink() = default;
    virtual void Message(const std::string& text) = 0;
};

// Prints each message as a line on a stream (standard error unless told otherwise).
class mtxMessagePrinter : public mtxMessageSink {
  public:
    explicit mtxMessagePrinter(std::FILE* stream = stderr) : stream_(stream) {}
    void Message(const std::string& text) override;

  private:
    std::FILE* stream_;
};
