archive of version 0.90
