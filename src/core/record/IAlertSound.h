#pragma once

// The alert sound, as the controller and the setup page drive it.
class IAlertSound {
public:
    virtual ~IAlertSound() = default;
    virtual void SetVolume(int volume) = 0; // 0..100
    virtual void SetSiren(bool on) = 0;
    virtual void PlayChirp() = 0;
    virtual bool IsSounding() const = 0;
};
