#ifndef LOOM_TESTS_CHANNEL_TEXTS_H
#define LOOM_TESTS_CHANNEL_TEXTS_H

// The texts one message channel receives while this lives; the channel's handler is put back.
#include "util/messages.h"
#include <string>
#include <vector>

struct ChannelTexts : MessageHandler {
  explicit ChannelTexts(MessageHandlerRegister& c) : channel(c), previous(c.GetCurrentHandler()) {
    channel.RegisterHandler(this);
  }
  ~ChannelTexts() override { channel.RegisterHandler(previous); }
  void HandleMessage(const char* text) override { texts.push_back(text); }
  MessageHandlerRegister& channel;
  MessageHandler* previous;
  std::vector<std::string> texts;
};

#endif
