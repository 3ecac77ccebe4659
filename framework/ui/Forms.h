#pragma once

#include "framework/ui/Controls.h"

#include <memory>

class TBitmap;
class TApplication;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum class TPosition { poDesigned, poScreenCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

// A top-level window. Its client area is a device-format bitmap (the surface) on which
// the graphic controls paint in creation order; windowed controls are widgets above it.
// Width and Height are the client size (the window manager draws any frame outside).
class TForm : public TWinControl {
    CARNELO_CLASS(TForm, TWinControl)
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition value) { m_position = value; }
    TFormStyle FormStyle() const { return m_formStyle; }
    void SetFormStyle(TFormStyle value);
    int ClientWidth() const { return Width(); }
    int ClientHeight() const { return Height(); }
    void SetClientWidth(int value) { SetWidth(value); }
    void SetClientHeight(int value) { SetHeight(value); }

    // Visible and brought to the front; centred first when it is poScreenCenter and
    // has never been shown.
    void Show();
    void BringToFront();
    bool Active() const;
    // Asks OnCloseQuery, then OnClose; the main form then ends the program, another
    // form hides. What a handler throws cancels the close and passes on.
    void Close();
    bool CloseQuery();

    // The control that has (or gets, when the form is shown) the keyboard focus.
    TWinControl* ActiveControl() const;
    void SetActiveControl(TWinControl* control);

    TBitmap& Surface();
    // Paints the surface under rect (client coordinates): the form's colour, then every
    // visible graphic control in creation order. Windowed controls are not included.
    void PaintSurface(const TRect& rect);
    bool Painting() const { return m_painting; }
    // Something drew on the surface under rect outside a paint (an animation drawing
    // straight onto a control): the screen is to show the surface there as it is,
    // without painting it again. Inside a paint nothing is needed.
    void PresentSurface(const TRect& rect);
    // Forgets what waits to be shown without painting, so the next paint paints it.
    void CancelPresent() { m_present = TRect{}; }

    // Runs OnCreate; the application calls it once the form is built.
    void DoCreate();

    TNotifyEvent OnCreate;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    TNotifyEvent OnPaint;

    void SetText(const std::string& value) override;
    void SetVisible(bool value) override;
    TPoint ClientToScreen(TPoint point) const override;
    bool IsTopLevel() const override { return true; }

protected:
    // A press and release on the form's own surface is no click.
    bool ClickOnRelease() const override { return false; }
    void BoundsChanged() override;
    void Notification(TComponent* component, TOperation operation) override;
    void ColorChanged() override;

private:
    friend class FormWidget;
    friend class TApplication;
    void centreOnScreen();
    void applyWindowFlags();
    void updateWindowTitle();

    std::unique_ptr<TBitmap> m_surface;
    TFormBorderStyle m_borderStyle = TFormBorderStyle::bsSizeable;
    TPosition m_position = TPosition::poDesigned;
    TFormStyle m_formStyle = TFormStyle::fsNormal;
    TWinControl* m_activeControl = nullptr;
    bool m_shownOnce = false;
    bool m_painting = false;
    TRect m_present;
};
