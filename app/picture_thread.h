#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/memory/view.h"

namespace velorin::app {

// Draws one picture of the map at a time (memory::MapPicture::Draw) on a thread
// of its own, and hands it back on the owner's thread when it is drawn. Cancel
// and Wait join the thread: once they return, nothing more of the picture is
// drawn, and the view's thread may do as it likes with the map.
class PictureThread {
  public:
    // done gets each picture drawn (whole or not), on the owner's thread through
    // its event loop, unless Cancel or Wait took it first. The owner owns this.
    PictureThread(QObject& owner, std::function<void(std::unique_ptr<memory::MapPicture>)> done);
    // Cancels the picture under way.
    ~PictureThread();
    PictureThread(const PictureThread&) = delete;
    PictureThread& operator=(const PictureThread&) = delete;
    PictureThread(PictureThread&&) = delete;
    PictureThread& operator=(PictureThread&&) = delete;

    // Starts drawing; none may be under way (Cancel or Wait first).
    void Start(std::unique_ptr<memory::MapPicture> picture);
    // Whether a picture is under way (drawn or not, it is not handed back yet),
    // and the serial of the redraw it is of.
    bool Busy() const { return m_picture != nullptr; }
    std::uint64_t Serial() const { return m_picture ? m_picture->Serial() : 0; }
    // Stops the drawing at its next feature and returns the picture (null when
    // none was under way).
    std::unique_ptr<memory::MapPicture> Cancel();
    // Waits for the drawing to end and returns the picture (null when none was
    // under way).
    std::unique_ptr<memory::MapPicture> Wait();

  private:
    void Finished(std::uint64_t job);

    QObject& m_owner;
    std::function<void(std::unique_ptr<memory::MapPicture>)> m_done;
    std::unique_ptr<memory::MapPicture> m_picture;
    std::atomic<bool> m_cancel{false};
    std::uint64_t m_job = 0;
    std::thread m_thread;
};

}  // namespace velorin::app
