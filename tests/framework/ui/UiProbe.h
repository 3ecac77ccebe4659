#pragma once

#include "framework/ui/Controls.h"

#include <string>
#include <vector>

// A graphic control that writes down every message it gets.
class ProbeControl : public TGraphicControl {
public:
    ProbeControl(TComponent* owner, std::string name, std::vector<std::string>& log)
        : TGraphicControl(owner), m_log(log)
    {
        SetName(std::move(name));
    }

    void WMLButtonDown(TShiftState shift, int x, int y) override
    {
        note("down", x, y);
        TGraphicControl::WMLButtonDown(shift, x, y);
    }
    void WMLButtonUp(TShiftState shift, int x, int y) override
    {
        note("up", x, y);
        TGraphicControl::WMLButtonUp(shift, x, y);
    }
    void WMRButtonUp(TShiftState shift, int x, int y) override
    {
        note("rup", x, y);
        TGraphicControl::WMRButtonUp(shift, x, y);
    }
    void CMMouseEnter() override { m_log.push_back("enter " + Name()); }
    void CMMouseLeave() override { m_log.push_back("leave " + Name()); }
    bool CMDialogChar(char32_t c) override
    {
        if (c != accelerator)
            return false;
        m_log.push_back("char " + Name());
        return true;
    }

    char32_t accelerator = 0;
    TColor paintColor = clNone;

protected:
    void Paint() override
    {
        if (paintColor == clNone)
            return;
        Canvas().Brush().SetColor(paintColor);
        Canvas().FillRect(ClientRect());
    }

private:
    void note(const char* what, int x, int y)
    {
        m_log.push_back(std::string(what) + " " + Name() + " " + std::to_string(x) + "," + std::to_string(y));
    }
    std::vector<std::string>& m_log;
};
