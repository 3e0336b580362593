-- wrk: clients reading the booking page's month view. The path is given as
-- wrk's URL; done() prints the figures the bench reads.
done = function(summary, latency, requests)
  io.write(string.format("requests %d\nseconds %.3f\np50_us %d\np95_us %d\nconnect %d\nread %d\nwrite %d\ntimeout %d\nnon2xx %d\n",
    summary.requests, summary.duration / 1e6, latency:percentile(50), latency:percentile(95),
    summary.errors.connect, summary.errors.read, summary.errors.write, summary.errors.timeout,
    summary.errors.status))
end
