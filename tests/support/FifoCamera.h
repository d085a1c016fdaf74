#pragma once
// A camera behind a FIFO: an ffmpeg process writes a scene into it in real
// time; the test stops it (the camera is unplugged), stalls it (the camera
// hangs) and starts it again (plugged back in).
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class CFifoCamera {
public:
    // `scene`: an FFmpeg filter graph (without the "lavfi:" of a device line).
    CFifoCamera(std::string path, std::string scene)
        : m_path(std::move(path)), m_scene(std::move(scene)) {
        ::mkfifo(m_path.c_str(), 0600);
    }
    ~CFifoCamera() {
        Stop();
        ::unlink(m_path.c_str());
    }
    CFifoCamera(const CFifoCamera&) = delete;
    CFifoCamera& operator=(const CFifoCamera&) = delete;

    const std::string& Path() const { return m_path; }
    // The line of an OCULON_DEVICES file.
    std::string DeviceLine(const std::string& name) const {
        return name + "|file:" + m_path + "\n";
    }

    // The writer waits for a reader, then writes NUT with MJPEG pictures.
    void Start() {
        Stop();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setpgid(0, 0);
            const int devNull = ::open("/dev/null", O_RDWR);
            ::dup2(devNull, 0);
            ::dup2(devNull, 1);
            ::dup2(devNull, 2);
            ::execlp("ffmpeg", "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-re",
                     "-f", "lavfi", "-i", m_scene.c_str(), "-c:v", "mjpeg", "-q:v", "5",
                     "-flush_packets", "1", "-f", "nut", "-y", m_path.c_str(), nullptr);
            ::_exit(127);
        }
    }
    // The writer is killed: its reader sees the end of the stream.
    void Stop() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    // The writer keeps the FIFO open but writes nothing.
    void Stall() {
        if (m_pid > 0)
            ::kill(m_pid, SIGSTOP);
    }

private:
    std::string m_path;
    std::string m_scene;
    pid_t m_pid = -1;
};
