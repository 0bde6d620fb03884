#pragma once
#include <string>
#include <vector>

// The files that ship with the program: the sample library (samples/, one
// folder per collection) and the demo photo (demo.png).
//
// An installed program keeps them in PREFIX/share/daubry beside its
// PREFIX/bin folder. A program run from its build tree finds the drawn
// samples in the build tree's share folder and the demo photo in the source
// tree's share folder, so each file is looked for in every folder in turn.

// The folders to search, in order, for the program at executable: the
// installed share folder beside its bin folder, then the build tree's and the
// source tree's share folders of this build (each once).
std::vector<std::string> mtxShareFolders(const std::string& executable);
// The same for the running program.
std::vector<std::string> mtxShareFolders();

// The path of name (a file or a folder) in the first of folders that holds
// it; empty when none does.
std::string mtxFindShared(const std::string& name, const std::vector<std::string>& folders);

// The first of the running program's share folders that exists; empty when
// none does.
std::string mtxShareFolder();
// The bundled sample library, the folder the samples dialog starts in; empty
// when it cannot be found.
std::string mtxSampleLibraryFolder();
// The demo photo; empty when it cannot be found.
std::string mtxDemoPhoto();
// The samples a first start and `daubry fill` without samples use: the
// library's flowers folder, else the whole library; empty without a library.
std::string mtxDefaultSamples();
// The collection file of those samples, named after their folder
// (flowers/flowers.msc); empty when there is none.
std::string mtxDefaultCollection();
