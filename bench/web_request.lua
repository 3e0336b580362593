-- wrk: clients asking for trips on the same ten days, each request with an
-- address of its own. BM_DAYS holds the days, blank-separated.
local days = {}
for d in string.gmatch(os.getenv("BM_DAYS") or "", "%S+") do days[#days + 1] = d end
local token = string.rep("a", 64)
local counter = 0
local thread_id = 0

setup = function(thread)
  thread:set("thread_id", thread_id)
  thread_id = thread_id + 1
end

request = function()
  counter = counter + 1
  local day = days[(counter % #days) + 1]
  local body = "csrf=" .. token .. "&trip=Full+Day&day=" .. day .. "&party=2&name=Load+Client&email=c"
    .. thread_id .. "x" .. counter .. "%40example.com&phone=555&note=&website="
  return wrk.format("POST", "/request", {
    ["Content-Type"] = "application/x-www-form-urlencoded",
    ["Cookie"] = "bm_csrf=" .. token,
  }, body)
end

local made, full = 0, 0
response = function(status, headers, body)
  if status == 303 then made = made + 1 elseif status == 409 then full = full + 1 end
end

done = function(summary, latency, requests)
  io.write(string.format("requests %d\nseconds %.3f\np50_us %d\np95_us %d\nconnect %d\nread %d\nwrite %d\ntimeout %d\n",
    summary.requests, summary.duration / 1e6, latency:percentile(50), latency:percentile(95),
    summary.errors.connect, summary.errors.read, summary.errors.write, summary.errors.timeout))
end
