-- wrk script: each connection posts distinct prepared reports (one body per line of the file
-- given after "--"), each thread from its own slice, and counts the replies that say recorded.
local threads = {}
local bodies, position, step
local recorded, other = 0, 0

function setup(thread)
  thread:set("id", #threads)
  table.insert(threads, thread)
end

function init(args)
  bodies = {}
  for line in io.lines(args[1]) do bodies[#bodies + 1] = line end
  position, step = id + 1, tonumber(args[2])
end

function request()
  local body = bodies[position]
  position = position + step
  if body == nil then body = "u=" end
  return wrk.format("POST", "/vorn/a20140220checkmachine/postInfo.php",
    {["Content-Type"] = "application/x-www-form-urlencoded"}, body)
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
    summary.requests / (summary.duration / 1e6), latency:percentile(50) / 1000,
    latency:percentile(99) / 1000, r, o,
    summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.status +
    summary.errors.timeout))
end
