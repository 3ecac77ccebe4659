#pragma once

#include <memory>
#include <string>

class TBitmap;
class TForm;

// The form as it looks on screen, windowed controls included.
std::unique_ptr<TBitmap> RenderForm(TForm& form);
// The same, written as a PNG file; false when the file cannot be written.
bool SaveFormPng(TForm& form, const std::string& path);
