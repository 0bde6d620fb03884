// Covers mtxRecoveryFile: the files it finds after a crash, and that a
// writer killed at any moment leaves a whole project holding every write
// it had finished.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "app/document/recovery_file.h"
#include "fill/project_file.h"
#include "tests/fill/stamp_log_support.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<mtxProject> ProjectOf(int stamps) {
    auto project = std::make_unique<mtxProject>();
    project->photo.Create(64, 48, 0xFF336699u);
    for (int i = 0; i < 2; ++i) {
        auto sample = std::make_unique<mtxProject::Sample>();
        sample->path = "/samples/" + std::to_string(i) + ".png";
        sample->picture.Create(16, 16, 0x80FF0000u + uint32_t(i));
        project->samples.push_back(std::move(sample));
    }
    project->log = stamp_log_test::RandomLog(stamps, 2, 5);
    return project;
}

// A process id that ran and ended.
int DeadProcess() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return int(child);
}

void Touch(const std::string& path) {
    testing_support::WriteFile(path, "x");
}

TEST(RecoveryFile, LeftFindsTheFilesOfProgramsThatNoLongerRunNewestFirst) {
    testing_support::TempDir dir;
    std::string folder = dir.Path();
    int older = DeadProcess(), newer = DeadProcess();
    Touch(folder + "/recovery-" + std::to_string(older) + ".daubry");
    std::filesystem::last_write_time(
        folder + "/recovery-" + std::to_string(older) + ".daubry",
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    Touch(folder + "/recovery-" + std::to_string(newer) + ".daubry");
    // Its own, a running program's and names of other files are not left over.
    Touch(folder + "/recovery-" + std::to_string(getpid()) + ".daubry");
    Touch(folder + "/recovery-" + std::to_string(getppid()) + ".daubry");
    Touch(folder + "/recovery-12x.daubry");
    Touch(folder + "/recovery-.daubry");
    Touch(folder + "/photo.daubry");
    // A dead program's half-written copy goes; a running one's stays.
    std::string half = folder + "/recovery-" + std::to_string(older) + ".daubry.0a1b2c3d.tmp";
    std::string writing = folder + "/recovery-" + std::to_string(getppid()) + ".daubry.0a1b.tmp";
    Touch(half), Touch(writing);
    std::vector<std::string> expected = {folder + "/recovery-" + std::to_string(newer) + ".daubry",
                                         folder + "/recovery-" + std::to_string(older) + ".daubry"};
    EXPECT_EQ(mtxRecoveryFile::Left(folder), expected);
    EXPECT_FALSE(std::filesystem::exists(half));
    EXPECT_TRUE(std::filesystem::exists(writing));
    EXPECT_TRUE(mtxRecoveryFile::Left(folder + "/missing").empty());
}

TEST(RecoveryFile, WritesTheNewestCopyAndRemovesIt) {
    testing_support::TempDir dir;
    std::string folder = dir.File("state/daubry");  // made on the first write
    mtxRecoveryFile recovery(folder);
    EXPECT_EQ(recovery.Path(), folder + "/recovery-" + std::to_string(getpid()) + ".daubry");
    for (int stamps : {10, 20, 30}) recovery.Write(ProjectOf(stamps));
    recovery.Wait();
    EXPECT_EQ(recovery.LastError(), "");
    mtxProject back;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Load(recovery.Path(), back, error), 1) << error;
    EXPECT_EQ(back.log.Count(), 30u) << "the last copy handed over is the one on disk";
    recovery.Write(ProjectOf(40));
    recovery.Remove();
    EXPECT_FALSE(std::filesystem::exists(recovery.Path()));
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no temporary file stays behind";
}

// A clean exit or a saved project does not wait for a large copy: it is
// cancelled, and nothing of it stays.
TEST(RecoveryFile, RemoveDuringAWriteCancelsItAndLeavesNothing) {
    testing_support::TempDir dir;
    mtxRecoveryFile recovery(dir.Path());
    recovery.Write(ProjectOf(10));
    recovery.Wait();
    auto large = ProjectOf(20000);
    large->photo.Create(2000, 2000, 0);
    uint32_t seed = 7;
    for (int y = 0; y < 2000; ++y)
        for (int x = 0; x < 2000; ++x) large->photo.At(x, y) = 0xFF000000u | (seed *= 1664525u);
    recovery.Write(std::move(large));
    recovery.Remove();
    EXPECT_FALSE(std::filesystem::exists(recovery.Path()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_EQ(recovery.LastError(), "");
    // The cancel was for that write only.
    recovery.Write(ProjectOf(30));
    recovery.Wait();
    mtxProject back;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Load(recovery.Path(), back, error), 1) << error;
    EXPECT_EQ(back.log.Count(), 30u);

    std::atomic<bool> cancel{true};
    std::vector<uint8_t> bytes;
    auto project = ProjectOf(5);
    EXPECT_EQ(mtxProjectFile::Write(*project, bytes, error, &cancel), 0);
    EXPECT_EQ(error, "cancelled");
    EXPECT_TRUE(project->photoPng.empty()) << "no half-made PNG is kept";
}

TEST(RecoveryFile, AWriterKilledAtAnyMomentLeavesAWholeCopyOfItsLastFinishedWrite) {
    testing_support::TempDir dir;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        mtxRecoveryFile recovery(dir.Path());
        // Ever larger copies, each reported once it is on disk.
        for (uint32_t stamps = 1000;; stamps += 1000) {
            recovery.Write(ProjectOf(int(stamps)));
            recovery.Wait();
            if (recovery.LastError() != "" || write(pipeEnds[1], &stamps, 4) != 4) _exit(1);
        }
    }
    close(pipeEnds[1]);
    uint32_t reported = 0, stamps = 0;
    // Killed while it writes the fourth copy, or between two.
    while (reported < 3000 && read(pipeEnds[0], &stamps, 4) == 4) reported = stamps;
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(pipeEnds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(reported, 3000u);

    std::vector<std::string> left = mtxRecoveryFile::Left(dir.Path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], dir.Path() + "/recovery-" + std::to_string(child) + ".daubry");
    mtxProject back;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Load(left[0], back, error), 1) << error;
    EXPECT_GE(back.log.Count(), reported);
    EXPECT_EQ(back.log.Count() % 1000, 0u) << "a copy the writer made whole";

    // The next program takes it over, and a clean end removes it.
    {
        mtxRecoveryFile next(dir.Path());
        ASSERT_EQ(next.Adopt(left[0]), 1);
        EXPECT_TRUE(mtxRecoveryFile::Left(dir.Path()).empty());
        ASSERT_EQ(mtxProjectFile::Load(next.Path(), back, error), 1) << error;
        next.Remove();
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("recovery-"), std::string::npos)
            << entry.path();
}

}  // namespace
