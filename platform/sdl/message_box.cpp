#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include <cstdio>

int mtxSystemMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
        if ((flags & 0xF0) == MB_ICONERROR) kind = SDL_MESSAGEBOX_ERROR;
        if ((flags & 0xF0) == MB_ICONWARNING) kind = SDL_MESSAGEBOX_WARNING;
        if (SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(), nullptr) == 0)
            return IDOK;
    }
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    return IDOK;
}
