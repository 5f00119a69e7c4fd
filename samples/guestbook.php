<?php
// A small guest book: reads the posted message and appends it to a file.
$name = isset($_POST['name']) ? $_POST['name'] : '';
$text = isset($_POST['text']) ? $_POST['text'] : '';

if ($name != '' && $text != '') {
    $f = fopen('guestbook.txt', 'a');
    fwrite($f, $name . ': ' . $text . "\n");
    fclose($f);
}

$lines = file('guestbook.txt');
?>
<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">
<html xmlns="http://www.w3.org/1999/xhtml">
<head><title>Гостевая книга</title></head>
<body>
<form method="post" action="guestbook.php">
  <p><input type="text" name="name" /></p>
  <p><textarea name="text" rows="4" cols="40"></textarea></p>
  <p><input type="submit" value="Отправить" /></p>
</form>
<?php
for ($i = 0; $i < count($lines); $i++) {
    echo '<p>' . htmlspecialchars($lines[$i]) . '</p>';
}
?>
</body>
</html>
