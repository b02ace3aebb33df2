-- wrk script: each connection posts distinct prepared reports (one body per line of the file
-- given after "--"), each thread from its own slice, and counts the replies that say recorded.
-- The rate counts recorded reports only: a thread that runs out of reports posts an empty form,
-- which is refused at once, and counting those refusals made a server that had run out look
-- faster than one still storing.
local threads = {}
local bodies, position, headers
local recorded, other = 0, 0

function setup(thread)
  thread:set("id", #threads)
  table.insert(threads, thread)
end

function init(args)
  -- Only this thread's slice is kept: the files are large enough that no run exhausts them.
  local threadCount, n = tonumber(args[2]), 0
  bodies = {}
  for line in io.lines(args[1]) do
    if n % threadCount == id then bodies[#bodies + 1] = line end
    n = n + 1
  end
  position = 1
  -- "close" as a third argument: a new connection per report, as the program makes.
  headers = {["Content-Type"] = "application/x-www-form-urlencoded"}
  if args[3] == "close" then headers["Connection"] = "close" end
end

function request()
  local body = bodies[position]
  position = position + 1
  if body == nil then body = "u=" end
  return wrk.format("POST", "/vorn/a20140220checkmachine/postInfo.php", headers, body)
end

function response(status, headers, body)
  if body:find('"ret_code":0', 1, true) then recorded = recorded + 1 else other = other + 1 end
  wrk.thread:set("recorded", recorded)
  wrk.thread:set("other", other)
end

function done(summary, latency, requests)
  local r, o = 0, 0
  for _, t in ipairs(threads) do r = r + (t:get("recorded") or 0); o = o + (t:get("other") or 0) end
  io.write(string.format("  %8.0f reports/s  median %6.2f ms  p99 %6.2f ms  recorded %d  other %d  errors %d\n",
    r / (summary.duration / 1e6), latency:percentile(50) / 1000,
    latency:percentile(99) / 1000, r, o,
    summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.status +
    summary.errors.timeout))
end
