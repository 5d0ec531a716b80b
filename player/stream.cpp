// stream.cpp -- the stream callback table and the memory stream
