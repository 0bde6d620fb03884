#include "render/layers/shown_picture.h"

#include "render/layers/flatten_stack.h"

int mtxComposeShown(mtxImageStack& stack, const mtxReliefLight& light, mtxImageEditorDevice* editor,
                    mtxImage& out, std::string& error, mtxImage* shade) {
    if (!FlattenStack(stack, out) || out.width <= 0 || out.height <= 0)
        return error = "the picture could not be rendered", 0;
    if (!light.on) return 1;
    mtxImage rendered;
    if (!shade) {
        if (!mtxRenderReliefLight(editor, out, light, rendered))
            return error = "the light could not be rendered", 0;
        shade = &rendered;
    }
    if (!LayImageOver(out, *shade))
        return error = "the light could not be laid over the picture", 0;
    return 1;
}
