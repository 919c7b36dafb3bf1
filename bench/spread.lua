-- wrk request generator: numbers spread over the 300 prefixes SEGMENT0000 to SEGMENT0299
-- (`wrk ... -s bench/spread.lua URL -- SEGMENT`), a new number each time, as in a batch list.
local segment, counter

init = function(args)
    segment = tonumber(args[1])
    counter = 0
end

request = function()
    counter = counter + 1
    local number = string.format("%03d%04d%04d", segment, counter % 300, math.floor(counter / 300) % 10000)
    return wrk.format("GET", "/query?m=" .. number .. "&output=json&callback=querycallback")
end
