#pragma once

// What the settings windows ask of the main window, its renderer and its
// analysis engine.
class CSettingsHost {
public:
    virtual ~CSettingsHost() = default;

    virtual void SetDisplayMode(int mode) = 0;
    virtual void ZoomIn() = 0;
    virtual void ZoomOut() = 0;
    // Rebuilds the constant-Q kernel for the current adjustment.
    virtual void ReconfigureConstantQ() = 0;
    // Recomputes the band the constant-Q view leaves to the linear spectrum.
    virtual void UpdateCQWrapBand() = 0;
    // Shows the picture again at once, without drawing into it.
    virtual void RepaintPicture() = 0;
};
