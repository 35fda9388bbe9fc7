#pragma once

class QCoreApplication;

// Installs Qt's own Simplified Chinese texts (OK reads 确定, the file dialog
// speaks Chinese) from the catalogues built into the program, whatever the
// system's locale. Returns whether the base catalogue loaded.
bool installChineseCatalogues(QCoreApplication &app);
