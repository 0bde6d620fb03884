#pragma once
// Keeps the graphics driver's modules loaded once a context was made, after
// its display is closed or terminated. The driver and the compiler library it
// brings keep state in globals that is not meant to be unloaded and loaded
// again; a display opened again later finds them ready.
// Internal to platform/.
void mtxGlPinDriverModules();
