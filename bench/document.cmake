# The program's editor and document controller, headless (llvmpipe where
# there is no GPU): creating the editor to its first frame, and opening a
# 12-megapixel JPEG to the first frame that shows it.
daubry_benchmark(document LINKS daubry_editor)
