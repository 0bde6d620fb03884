#pragma once
#include <cstdio>
#include <string>
#include <vector>

// `daubry render`: draws a project's picture again from its stamp log
// without a window and saves it. args are the arguments after "render".
// Returns the exit code as `daubry fill` does: 0 done, 1 usage, 2 a problem
// with the project, 3 a problem with the output (or with drawing).
int mtxRunRenderCommand(const std::vector<std::string>& args, std::FILE* out = stdout,
                        std::FILE* err = stderr);
