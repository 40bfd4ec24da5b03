#include "app/picture_thread.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace velorin::app {

PictureThread::PictureThread(QObject& owner,
                             std::function<void(std::unique_ptr<memory::MapPicture>)> done)
    : m_owner(owner), m_done(std::move(done)) {}

PictureThread::~PictureThread() { CancelAll(); }

void PictureThread::Start(std::unique_ptr<memory::MapPicture> picture) {
    if (m_current != nullptr) m_current->cancel = true;
    auto job = std::make_unique<Job>();
    job->id = ++m_started;
    job->picture = std::move(picture);
    m_current = job.get();
    m_jobs.push_back(std::move(job));
    Job& started = *m_current;
    started.thread = std::thread([this, &started] {
        try {
            started.picture->Draw(started.cancel);
        } catch (const std::exception&) {
            // The thread's edge: a picture that failed is not whole, so the view's
            // thread draws the redraw itself, and meets the failure there.
        }
        // The owner waits for this thread before it goes, so it is there to post to.
        QMetaObject::invokeMethod(
            &m_owner,
            [this, id = started.id] {
                // Taken by Wait or CancelAll already, or handed back now.
                if (auto drawn = End(id)) m_done(std::move(drawn));
            },
            Qt::QueuedConnection);
    });
}

std::unique_ptr<memory::MapPicture> PictureThread::Wait() {
    return m_current != nullptr ? End(m_current->id) : nullptr;
}

std::vector<std::unique_ptr<memory::MapPicture>> PictureThread::CancelAll() {
    for (const auto& job : m_jobs) job->cancel = true;
    std::vector<std::unique_ptr<memory::MapPicture>> pictures;
    while (!m_jobs.empty()) pictures.push_back(End(m_jobs.front()->id));
    return pictures;
}

std::unique_ptr<memory::MapPicture> PictureThread::End(std::uint64_t id) {
    const auto found =
        std::find_if(m_jobs.begin(), m_jobs.end(), [id](const auto& job) { return job->id == id; });
    if (found == m_jobs.end()) return nullptr;
    const std::unique_ptr<Job> ended = std::move(*found);
    m_jobs.erase(found);
    if (m_current == ended.get()) m_current = nullptr;
    ended->thread.join();
    return std::move(ended->picture);
}

}  // namespace velorin::app
