#pragma once
#include <cstdint>
#include <span>
#include <string>

// A module: the program itself (whose resources are compiled into it) or a
// shared library loaded at run time.
class mtxModule {
  public:
    mtxModule() = default;  // the program's own module, not owned
    ~mtxModule() { Release(); }
    mtxModule(const mtxModule&) = delete;
    mtxModule& operator=(const mtxModule&) = delete;

    // Loads a library, trying the plain name (the system's search), then the
    // system library folder joined with the name, then the general library
    // folder; any library held before is freed first. 1 when one was loaded.
    int Load(const std::string& fileName);
    // The same with the two folders given (tests use it).
    int Load(const std::string& fileName, const std::string& systemDirectory,
             const std::string& generalDirectory);
    // Which attempt succeeded (1 to 3), 0 when none did.
    int Attempt() const { return attempt_; }
    // Null when the library lacks the symbol or no library is loaded.
    void* GetProc(const char* name) const;
    // Resources live in the program's own module; a library has none here.
    std::span<const unsigned char> FindResource(uint32_t id, const char* type) const;
    std::span<const unsigned char> LoadResource(uint32_t id, const char* type) const {
        return FindResource(id, type);
    }
    uint32_t SizeOfResource(uint32_t id, const char* type) const {
        return static_cast<uint32_t>(FindResource(id, type).size());
    }
    // Frees the library when this module owns it.
    void Release();

    void* Handle() const { return handle_; }
    bool Owned() const { return owned_; }

  private:
    void* handle_ = nullptr;
    bool owned_ = false;
    int attempt_ = 0;
};
