#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/settings_file.h"

// The settings store: named 32-bit integers and strings under one root key,
// either directly (no section) or in a section below it. Every operation
// returns 1 on success and 0 on failure and shows nothing; callers apply their
// own defaults for missing values. Safe to use from any thread.
class mtxRegistry {
  public:
    mtxRegistry() = default;
    mtxRegistry(const mtxRegistry&) = delete;
    mtxRegistry& operator=(const mtxRegistry&) = delete;

    void Init();
    // Opens (creating when missing) the root key in the settings file.
    // Returns 1 even when that failed; every later operation then fails.
    int Open(const std::string& keyPath, const std::string& file = mtxSettingsFile::DefaultPath());
    // Flushes and closes the root key. Every later operation fails.
    void Close();
    bool IsOpen() const;

    // section may be null: the value then lives directly under the root key.
    int SetInt(const char* section, const std::string& name, uint32_t value);
    int SetString(const char* section, const std::string& name, const std::string& text);
    // 0 for a missing section or value, or stored data longer than 4 bytes.
    int GetInt(const char* section, const std::string& name, uint32_t& out);
    // With buffer null reports the stored size in bytes. With a buffer too
    // small for the value reports the size needed and returns 0.
    int GetRaw(const char* section, const std::string& name, void* buffer, uint32_t& bytes);
    // A stored empty string reads as missing: result 0, output empty.
    int GetString(const char* section, const std::string& name, std::string& out);

  private:
    int Write(const char* section, const std::string& name, const mtxSettingsFile::Value& value);
    int ReadLocked(const char* section, const std::string& name, mtxSettingsFile::Value& value);
    std::string KeyOf(const char* section) const;

    mutable std::mutex lock_;
    std::unique_ptr<mtxSettingsFile> root_;  // null until opened, and after Close
    std::string rootPath_;
};
