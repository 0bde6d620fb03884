#pragma once
// Keeps the graphics driver's modules loaded once a context was made, after
// its display is closed or terminated. The driver and the compiler library it
// brings keep state in globals that is not meant to be unloaded and loaded
// again; a display opened again later finds them ready.
// Internal to platform/.
void mtxGlPinDriverModules();

// Before the first display is opened: the software rasteriser, when it is the
// driver, draws on the calling thread unless the user chose otherwise
// (LP_NUM_THREADS). Its worker threads wake for every draw and every change
// of target, and the picture is many small draws into small tiles: on one
// thread the same pixels come two to three times faster, and the same bytes.
void mtxGlPrepareDriver();
