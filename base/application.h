#pragma once
#include <cstdint>
#include <string>

#include "base/cpu_info.h"
#include "base/id_pool.h"
#include "base/registry.h"

template <int WindowBits, int Level>
class mtxCompressorZLIB;
class mtxFileDialogHost;

// The one application object of the process. Every part of the program reaches
// it through mtxGetApp(): its id pool, processor information, CRC-32 table,
// settings store and strings.
class mtxApplication {
  public:
    // The four entry-point arguments are kept unchanged. The command line is
    // the raw text after the program name.
    mtxApplication(void* instance, void* previousInstance, const char* commandLine, int show);
    virtual ~mtxApplication();
    mtxApplication(const mtxApplication&) = delete;
    mtxApplication& operator=(const mtxApplication&) = delete;

    // Creates the program's windows; nonzero on success.
    virtual int Init() = 0;

    // Entry stringBase + n of the string table. 1 when it exists; otherwise 0
    // and out empty.
    int LoadString(uint32_t n, std::string& out) const;

    void* instance;
    void* previousInstance;
    const char* commandLine;
    int showCommand;

    mtxIdPool ids;
    mtxCpuInfo cpu;
    uint32_t stringBase = 10000;
    uint32_t crc32Table[256] = {};  // reflected CRC-32 (0xEDB88320); entry i is the CRC of byte i
    mtxRegistry settings;
    std::string startDirectory;  // the current directory at start, without trailing separator
    void* collections[6] = {};   // material editors' gradient collections, unused so far
    // The deflate compressor that parts needing one borrow; owned, created by
    // the constructor and deleted by the destructor.
    mtxCompressorZLIB<15, 3>* sharedCompressor = nullptr;
    // Shows mtxFileDialog; registered by whoever provides the dialog (the
    // editor's toolkit), not owned. Null: file dialogs report a cancel.
    mtxFileDialogHost* fileDialogHost = nullptr;
};

// The application object, or null before it is constructed and after it is destroyed.
mtxApplication* mtxGetApp();

// Fills table for the reflected CRC-32 (polynomial 0xEDB88320), as the application's own.
void mtxBuildCrc32Table(uint32_t table[256]);
// Updates a running CRC-32 with table (start 0xFFFFFFFF, finish with ~).
uint32_t mtxCrc32Update(const uint32_t table[256], uint32_t crc, const void* data, size_t size);
