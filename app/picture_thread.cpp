#include "app/picture_thread.h"

#include <exception>
#include <utility>

namespace velorin::app {

PictureThread::PictureThread(QObject& owner,
                             std::function<void(std::unique_ptr<memory::MapPicture>)> done)
    : m_owner(owner), m_done(std::move(done)) {}

PictureThread::~PictureThread() { Cancel(); }

void PictureThread::Start(std::unique_ptr<memory::MapPicture> picture) {
    Cancel();
    m_picture = std::move(picture);
    m_cancel = false;
    const std::uint64_t job = ++m_job;
    m_thread = std::thread([this, drawing = m_picture.get(), job] {
        try {
            drawing->Draw(m_cancel);
        } catch (const std::exception&) {
            // The thread's edge: a picture that failed is not whole, so the view's
            // thread draws the redraw itself, and meets the failure there.
        }
        // The owner waits for this thread before it goes, so it is there to post to.
        QMetaObject::invokeMethod(
            &m_owner, [this, job] { Finished(job); }, Qt::QueuedConnection);
    });
}

std::unique_ptr<memory::MapPicture> PictureThread::Cancel() {
    m_cancel = true;
    return Wait();
}

std::unique_ptr<memory::MapPicture> PictureThread::Wait() {
    if (m_thread.joinable()) m_thread.join();
    return std::move(m_picture);
}

void PictureThread::Finished(std::uint64_t job) {
    // Taken already by Cancel or Wait, perhaps with a later picture started since.
    if (job != m_job || !m_picture) return;
    std::unique_ptr<memory::MapPicture> picture = Wait();
    m_done(std::move(picture));
}

}  // namespace velorin::app
