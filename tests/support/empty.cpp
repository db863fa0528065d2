// Keeps the support library non-empty while no helper file exists.
