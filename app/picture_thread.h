#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/memory/view.h"

namespace velorin::app {

// Draws pictures of the map (memory::MapPicture::Draw), each on a thread of its
// own, and hands each back on the owner's thread when its drawing ends. One is
// the picture under way; starting another cancels it and leaves it to end on its
// own (at its next feature), so the owner's thread never waits for a picture it
// no longer wants.
class PictureThread {
  public:
    // done gets every picture whose drawing ended (whole, cancelled or not), on
    // the owner's thread through its event loop, unless Wait or CancelAll took it
    // first. The owner owns this.
    PictureThread(QObject& owner, std::function<void(std::unique_ptr<memory::MapPicture>)> done);
    // Cancels every picture and waits for their threads.
    ~PictureThread();
    PictureThread(const PictureThread&) = delete;
    PictureThread& operator=(const PictureThread&) = delete;
    PictureThread(PictureThread&&) = delete;
    PictureThread& operator=(PictureThread&&) = delete;

    // Starts drawing; the picture under way, if any, is cancelled.
    void Start(std::unique_ptr<memory::MapPicture> picture);
    // Whether a picture is under way (not handed back yet), and the serial of the
    // redraw it is of.
    bool Busy() const { return m_current != nullptr; }
    std::uint64_t Serial() const { return m_current ? m_current->picture->Serial() : 0; }
    // Waits for the picture under way and returns it (null when none is).
    std::unique_ptr<memory::MapPicture> Wait();
    // Cancels every picture, waits for their threads and returns them: once it
    // returns, nothing of the map is read off the owner's thread.
    std::vector<std::unique_ptr<memory::MapPicture>> CancelAll();

  private:
    struct Job {
        std::uint64_t id = 0;
        std::unique_ptr<memory::MapPicture> picture;
        std::atomic<bool> cancel{false};
        std::thread thread;
    };
    // Joins the job's thread and returns its picture, forgetting the job; null
    // when it is forgotten already.
    std::unique_ptr<memory::MapPicture> End(std::uint64_t id);

    QObject& m_owner;
    std::function<void(std::unique_ptr<memory::MapPicture>)> m_done;
    // Every picture not handed back yet, cancelled ones included.
    std::vector<std::unique_ptr<Job>> m_jobs;
    Job* m_current = nullptr;
    std::uint64_t m_started = 0;
};

}  // namespace velorin::app
