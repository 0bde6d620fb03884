#pragma once
#include <cstdio>
#include <string>
#include <vector>

// `daubry fill`: fills a photo with samples without a window and saves the
// picture. args are the arguments after "fill". Returns the exit code: 0
// done, 1 usage, 2 a problem with the input (photo, samples), 3 a problem
// with the output (or with drawing). Messages go to err, the report and the
// help text to out.
int mtxRunFillCommand(const std::vector<std::string>& args, std::FILE* out = stdout,
                      std::FILE* err = stderr);
