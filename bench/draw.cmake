# Path filling: many small shapes and one large one, solid and gradient.
daubry_benchmark(draw LINKS daubry_image)
