#pragma once

#include "server/Transport.h"

namespace memberd {

// The connection's bytes as they are, with recv and send.
class PlainTransport : public Transport {
public:
    explicit PlainTransport(int fd) : m_fd(fd) {}
    Io read(char* buffer, std::size_t size) override;
    Io write(const char* data, std::size_t size) override;
    QString failure() const override { return m_failure; }

private:
    Io result(ssize_t n);

    int m_fd;
    QString m_failure;
};

} // namespace memberd
