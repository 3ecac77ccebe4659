#pragma once

// Mirrors the framework's clipboard model to the desktop's clipboard: formats
// registered by name travel as custom MIME types, the standard bitmap format as an image.
void InstallClipboardBridge();
// Takes what the desktop's clipboard holds into the model (formats the model knows).
void ImportDesktopClipboard();
