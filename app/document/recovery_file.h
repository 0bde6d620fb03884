#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mtxProject;

// The copy of the work kept while the filling tool runs, so that a crash
// loses only its last seconds: a project file per running program in the
// user's state folder, named after the process. The files are written on a
// thread of their own, so filling goes on meanwhile, and each write replaces
// the file whole (a reader finds the old copy or the new, never a mix); the
// photo and samples are encoded once while they stay the same. A
// clean exit or a saved project removes the file; the next start finds the
// files of programs that no longer run.
class mtxRecoveryFile {
  public:
    // $XDG_STATE_HOME/daubry, or ~/.local/state/daubry when that is unset or
    // not absolute.
    static std::string DefaultFolder();
    // The files in folder left by programs that no longer run, newest first;
    // the half-written ones such a program left are removed.
    static std::vector<std::string> Left(const std::string& folder);

    explicit mtxRecoveryFile(const std::string& folder);
    // Cancels a write under way (which ends soon, leaving the file as it
    // was) and waits for it; one still waiting is dropped.
    ~mtxRecoveryFile();
    mtxRecoveryFile(const mtxRecoveryFile&) = delete;
    mtxRecoveryFile& operator=(const mtxRecoveryFile&) = delete;

    // folder/recovery-<process id>.daubry.
    const std::string& Path() const { return path_; }
    // Hands the project to the writing thread; one still waiting is
    // replaced, as the newer copy holds all it holds.
    void Write(std::unique_ptr<mtxProject> project);
    // Returns once nothing waits and no write is under way.
    void Wait();
    // Drops a waiting copy, cancels a write under way and removes the file;
    // returns soon even while a large copy is being made.
    void Remove();
    // Makes a file of Left this program's own (renamed to Path), so the
    // rules above apply to it. 1, or 0 when it cannot be moved.
    int Adopt(const std::string& left);
    // Why the last write failed; empty after one that succeeded.
    std::string LastError();
    // Writes completed.
    uint64_t Written();

  private:
    void Run();

    std::string folder_;
    std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::unique_ptr<mtxProject> waiting_;
    std::unique_ptr<mtxProject> last_;  // the last copy written, for its PNG bytes (thread's own)
    bool busy_ = false, quit_ = false;
    std::atomic<bool> cancel_{false};  // the write under way is to stop
    std::string error_;
    uint64_t written_ = 0;
    std::thread thread_;  // last: started once the rest is set up
};
