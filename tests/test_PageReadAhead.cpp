// Tests of the read-ahead queue with a loader the test holds back: order, waiting, taking back, dropping, budget.
#include "PageReadAhead.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

namespace morvex {
namespace {

// Loads "{"objects":[]}" for every page; a page named in `held` waits until released; "bad..." pages fail.
class HeldLoader {
 public:
  PageReadAhead::Loader Function() {
    return [this](const std::string&, const std::string& page, PageDocument& document, PageFailure& failure,
                  uint64_t& bytes) {
      std::unique_lock<std::mutex> lock(mutex_);
      started_.insert(page);
      changed_.notify_all();
      changed_.wait(lock, [&] { return held_.count(page) == 0; });
      bytes = page.starts_with("big") ? 1000 : 10;
      if (page.starts_with("bad")) {
        failure = {PageFailureReason::kNotValidJson, "at byte 0: " + page};
        return PageLoad::kFailed;
      }
      return document.LoadBytes(R"({"objects":[]})") ? PageLoad::kLoaded : PageLoad::kFailed;
    };
  }
  void Hold(const std::string& page) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.insert(page);
  }
  void Release(const std::string& page) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.erase(page);
    changed_.notify_all();
  }
  void WaitUntilStarted(const std::string& page) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return started_.count(page) != 0; });
  }
  bool Started(const std::string& page) {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_.count(page) != 0;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> held_;
  std::set<std::string> started_;
};

class PageReadAheadTest : public ::testing::Test {
 protected:
  void Queue(const std::string& page) { ASSERT_TRUE(queue_.Queue("P", page, std::string("folder"), {})); }
  std::optional<PageLoad> Take(const std::string& page) { return queue_.Take("P", page, document_, failure_); }

  HeldLoader loader_;
  PageReadAhead queue_{loader_.Function(), 4, 2000};
  std::unique_ptr<PageDocument> document_ = std::make_unique<PageDocument>();
  PageFailure failure_;
};

TEST_F(PageReadAheadTest, PagesComeOutInOrderWithTheirFailures) {
  for (const char* page : {"a", "bad1", "c"}) Queue(page);
  ASSERT_TRUE(queue_.Queue("P", "outside", std::nullopt, {PageFailureReason::kNameLeavesFolder, ""}));
  loader_.WaitUntilStarted("c");
  EXPECT_EQ(Take("a"), PageLoad::kLoaded);
  EXPECT_TRUE(document_->IsOpen());
  EXPECT_EQ(Take("bad1"), PageLoad::kFailed);
  EXPECT_EQ(failure_.detail, "at byte 0: bad1");
  EXPECT_EQ(Take("c"), PageLoad::kLoaded);
  EXPECT_EQ(Take("outside"), PageLoad::kFailed);  // failed as it was queued, never loaded
  EXPECT_EQ(failure_.reason, PageFailureReason::kNameLeavesFolder);
  EXPECT_FALSE(loader_.Started("outside"));
  EXPECT_EQ(queue_.Queued(), 0u);
}

TEST_F(PageReadAheadTest, TakingWaitsOnlyForThePageBeingLoadedAndTakesBackOneNotStarted) {
  loader_.Hold("a");
  Queue("a");
  Queue("b");
  loader_.WaitUntilStarted("a");
  // "b" waits behind the held "a": opening it passes over "a", whose load must end before its job can go.
  std::thread release([&] { loader_.Release("a"); });
  const std::optional<PageLoad> b = Take("b");
  release.join();
  // Either the reader had started "b" and it is handed over, or it is taken back for the caller to load.
  EXPECT_TRUE(!b || *b == PageLoad::kLoaded);
  EXPECT_EQ(queue_.Queued(), 0u);
}

TEST_F(PageReadAheadTest, APageNotQueuedLeavesTheQueueForThePagesToCome) {
  Queue("b");
  EXPECT_EQ(Take("a"), std::nullopt);
  EXPECT_EQ(queue_.Queued(), 1u);
  loader_.WaitUntilStarted("b");
  EXPECT_EQ(Take("b"), PageLoad::kLoaded);
}

TEST_F(PageReadAheadTest, AFullQueueRefusesHintsUntilItIsEmptySoThatNoPageGoesMissingFromItsMiddle) {
  loader_.Hold("a");
  for (const char* page : {"a", "b", "c", "d"}) Queue(page);
  EXPECT_FALSE(queue_.Queue("P", "e", std::string("folder"), {}));
  loader_.Release("a");
  loader_.WaitUntilStarted("d");
  EXPECT_EQ(Take("a"), PageLoad::kLoaded);
  EXPECT_FALSE(queue_.Queue("P", "f", std::string("folder"), {}));  // "e" is missing: "f" may not follow "d"
  for (const char* page : {"b", "c", "d"}) EXPECT_EQ(Take(page), PageLoad::kLoaded);
  EXPECT_TRUE(queue_.Queue("P", "g", std::string("folder"), {}));
}

TEST_F(PageReadAheadTest, LoadingStopsWhileTheLoadedPagesWaitingHoldTheByteBudget) {
  for (const char* page : {"big1", "big2", "big3"}) Queue(page);
  loader_.WaitUntilStarted("big2");
  // 2 × 1000 bytes wait: the budget of 2000 is spent, the third page waits for room.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(loader_.Started("big3"));
  EXPECT_EQ(Take("big1"), PageLoad::kLoaded);
  loader_.WaitUntilStarted("big3");
}

TEST_F(PageReadAheadTest, DroppingWaitsForThePageInHandAndForgetsTheRest) {
  loader_.Hold("a");
  Queue("a");
  Queue("b");
  loader_.WaitUntilStarted("a");
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loader_.Release("a");
  });
  queue_.DropAll();
  release.join();
  EXPECT_EQ(queue_.Queued(), 0u);
  EXPECT_EQ(Take("b"), std::nullopt);
}

}  // namespace
}  // namespace morvex
